/* SPDX-License-Identifier: MIT */
// kq7 reference: the light of the blank or white standard with its dark, at
// the settings the measurements will use, to a reference file.
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <string>

#include "kq7/commands/command.h"
#include "kq7/commands/spectrum_output.h"
#include "kq7/console.h"
#include "kq7/device/reference_capture.h"
#include "kq7/distinct_files.h"
#include "kq7/formats/whole_file.h"
#include "kq7/output_paths.h"
#include "options/numbers.h"

namespace kq7tool {

namespace {

struct ReferenceOptions {
    int shutter = 0;
    int average = 1;
    std::string path;
    bool strict = false;
};

void RunReference(Sensor& sensor, const ReferenceOptions& options) {
    CheckDistinctFiles({{"-o", options.path}}, sensor.Place());
    CheckWritable(options.path);
    const SensorInfoC& info = sensor.Identify();
    const ReferenceRecord reference = CaptureReference(sensor, options.shutter, options.average);
    CsvMetadata metadata = MetadataOf(sensor);
    metadata.shutter = options.shutter;
    metadata.averages = options.average;
    WriteWholeFile(options.path, false, [&](const std::string& partial) {
        std::ofstream out(partial, std::ios::binary);
        WriteReferenceCsv(out, MetadataFieldsOf(metadata), reference);
        out.close();
        if (!out) {
            CannotWrite(options.path, errno);
        }
    });
    WriteData("reference of " + std::to_string(reference.light.size()) + " bands at shutter value " +
              std::to_string(options.shutter) + " written to " + options.path + "\n");
    Acquisition light;
    light.counts = reference.light;
    light.saturatedBands = static_cast<int>(std::count(reference.saturated.begin(), reference.saturated.end(), true));
    CheckSaturation(light, info, options.strict);
}

}  // namespace

void AddReference(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<ReferenceOptions>();
    CLI::App* command =
        app.add_subcommand("reference", "Take a reference (the blank or white standard) and its dark to a file");
    command->add_option("--shutter", options->shutter, "Shutter value")->required()->check(kq7options::WholeNumberIn(1, 1000000));
    command->add_option("--average", options->average, "Average this many captures")->check(kq7options::WholeNumberIn(1, 1000));
    command->add_option("-o,--output", options->path, "Reference file (CSV)")->required();
    command->add_flag("--strict", options->strict, "Fail (exit 7) when a band of the reference is saturated");
    RunWhenChosen(*command, chosen, options, RunReference);
}

}  // namespace kq7tool
