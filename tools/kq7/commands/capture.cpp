/* SPDX-License-Identifier: MIT */
#include "kq7/commands/capture.h"

#include <memory>

#include "kq7/commands/command.h"
#include "kq7/console.h"
#include "kq7/device/captures.h"
#include "options/numbers.h"

namespace kq7tool {

void AddCapture(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<CaptureOptions>();
    CLI::App* command = app.add_subcommand("capture", "Capture a spectrum at a shutter value");
    command->add_option("--shutter", options->shutter, "Shutter value")->required()->check(kq7options::WholeNumberIn(1, 1000000));
    command->add_flag("--dark", options->dark, "Subtract a capture taken with the shutter closed");
    command->add_option("--average", options->average, "Average this many captures")->check(kq7options::WholeNumberIn(1, 1000));
    AddSpectrumOutput(*command, options->output, options->strict);
    RunWhenChosen(*command, chosen, options, RunCapture);
}

void RunCapture(Sensor& sensor, const CaptureOptions& options) {
    // Without a file the CSV is the command's data output.
    SpectrumOutput output = options.output;
    if (output.csvPath.empty()) {
        output.csvPath = "-";
    }
    CheckOutputs(output, sensor.Place());
    const SensorInfoC& info = sensor.Identify();
    Spectrum spectrum;
    spectrum.wavelengthsNm = Wavelengths(info);
    spectrum.title = Identity(info) + ", shutter value " + std::to_string(options.shutter);
    Acquisition light;
    if (options.dark) {
        ClosedShutter shutter(sensor);
        const Acquisition dark = CaptureMean(sensor, options.shutter, options.average);
        shutter.Open();
        light = CaptureMean(sensor, options.shutter, options.average);
        spectrum.counts = SubtractDark(light.counts, dark.counts);
        spectrum.title += ", dark subtracted";
    } else {
        light = CaptureMean(sensor, options.shutter, options.average);
        spectrum.counts = light.counts;
    }
    if (options.average > 1) {
        spectrum.title += ", mean of " + std::to_string(options.average);
    }
    CsvMetadata metadata = MetadataOf(sensor);
    metadata.shutter = options.shutter;
    metadata.averages = options.average;
    metadata.darkSubtracted = options.dark;
    WriteSpectrum(spectrum, metadata, output);
    if (!ToDataOutput(output.csvPath)) {
        WriteData("captured " + std::to_string(spectrum.counts.size()) + " bands at shutter value " +
                  std::to_string(options.shutter) + ", " + PeakSummary(spectrum, info) + "\n");
    }
    CheckSaturation(light, info, options.strict);
}

}  // namespace kq7tool
