/* SPDX-License-Identifier: MIT */
// kq7 auto: searches the shutter value for a peak at a percentage of full
// scale; captures at it when an output names a file.
#include <memory>

#include "kq7/commands/command.h"
#include "kq7/commands/spectrum_output.h"
#include "kq7/console.h"
#include "kq7/device/captures.h"
#include "kq7/diagnostics.h"
#include "options/numbers.h"

namespace kq7tool {

namespace {

struct AutoOptions {
    int percent = 90;
    bool strict = false;  // out of range or saturated fails the command
    SpectrumOutput output;
};

void RunAuto(Sensor& sensor, const AutoOptions& options) {
    const SpectrumOutput& output = options.output;
    CheckOutputs(output, sensor.Place());
    const SensorInfoC& info = sensor.Identify();
    const kq7::Exposure exposure = sensor.AutoExposure(options.percent);
    // With the CSV on the data output the report goes to standard error, so
    // that the data output stays a clean CSV.
    const auto report = [&output](const std::string& text) {
        if (ToDataOutput(output.csvPath)) {
            Say(text);
        } else {
            WriteData(text);
        }
    };
    report("shutter value: " + std::to_string(exposure.shutter) + "\n");
    if (!output.csvPath.empty() || !output.svgPath.empty()) {
        Spectrum spectrum;
        spectrum.wavelengthsNm = Wavelengths(info);
        const Acquisition acquisition = CaptureMean(sensor, exposure.shutter, 1);
        spectrum.counts = acquisition.counts;
        spectrum.title = Identity(info) + ", shutter value " + std::to_string(exposure.shutter) + " (automatic, " +
                         std::to_string(options.percent) + " %)";
        CsvMetadata metadata = MetadataOf(sensor);
        metadata.shutter = exposure.shutter;
        WriteSpectrum(spectrum, metadata, output);
        report(PeakSummary(spectrum, info) + "\n");
        CheckSaturation(acquisition, info, options.strict);
    }
    if (!exposure.inWindow) {
        Doubt(OutOfRangeText(exposure, options.percent), kExitOutOfRange, options.strict);
    }
}

}  // namespace

void AddAuto(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<AutoOptions>();
    CLI::App* command = app.add_subcommand("auto", "Search the shutter value for a peak at a percentage of full scale");
    command->add_option("--percent", options->percent, "Target peak in percent of full scale")
        ->required()
        ->check(kq7options::WholeNumberIn(1, 100));
    AddSpectrumOutput(*command, options->output, options->strict);
    RunWhenChosen(*command, chosen, options, RunAuto);
}

}  // namespace kq7tool
