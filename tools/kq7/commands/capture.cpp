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
    AddMeasurementOptions(*command, options->measurement);
    RunWhenChosen(*command, chosen, options, RunCapture);
}

void RunCapture(Sensor& sensor, const CaptureOptions& options) {
    // Without a file the CSV is the command's data output.
    SpectrumOutput output = options.output;
    if (output.csvPath.empty()) {
        output.csvPath = "-";
    }
    CheckOutputs(output, sensor.Place(), options.measurement.referencePath);
    Measurement measurement = ReadMeasurement(options.measurement);
    const SensorInfoC& info = sensor.Identify();
    CsvMetadata metadata = MetadataOf(sensor);
    metadata.shutter = options.shutter;
    metadata.averages = options.average;
    metadata.darkSubtracted = options.dark;
    CheckMeasurement(measurement, options.measurement, info, options.shutter, options.average, metadata);
    // A measurement against a reference takes its own dark.
    const bool dark = options.dark || measurement.reference;
    Spectrum spectrum;
    spectrum.wavelengthsNm = Wavelengths(info);
    spectrum.title = Identity(info) + ", shutter value " + std::to_string(options.shutter);
    spectrum.valueLabel = QuantityLabel(measurement.quantity);
    Acquisition light;
    std::vector<double> darkCounts(spectrum.wavelengthsNm.size(), 0.0);
    if (dark) {
        ClosedShutter shutter(sensor);
        darkCounts = CaptureMean(sensor, options.shutter, options.average).counts;
        shutter.Open();
        light = CaptureMean(sensor, options.shutter, options.average);
        spectrum.title += ", dark subtracted";
    } else {
        light = CaptureMean(sensor, options.shutter, options.average);
    }
    if (measurement.reference || measurement.boxcarHalfWidth > 0) {
        const ModeValues values = Measure(measurement, light.counts, light.saturated, darkCounts);
        spectrum.counts = values.values;
        WarnInvalidBands(measurement, values.invalidBands, values.values.size());
        if (measurement.reference) {
            spectrum.title = Identity(info) + ", " + QuantityName(measurement.quantity) + ", shutter value " +
                             std::to_string(options.shutter);
        }
        if (measurement.boxcarHalfWidth > 0) {
            spectrum.title += ", boxcar " + std::to_string(measurement.boxcarHalfWidth);
        }
    } else {
        spectrum.counts = dark ? SubtractDark(light.counts, darkCounts) : light.counts;
    }
    if (options.average > 1) {
        spectrum.title += ", mean of " + std::to_string(options.average);
    }
    WriteSpectrum(spectrum, metadata, output);
    if (!ToDataOutput(output.csvPath)) {
        WriteData("captured " + std::to_string(spectrum.counts.size()) + " bands at shutter value " +
                  std::to_string(options.shutter) + ", " + PeakSummary(measurement.reference ? Spectrum{spectrum.wavelengthsNm, light.counts, "", ""} : spectrum, info) +
                  "\n");
    }
    CheckSaturation(light, info, options.strict);
}

}  // namespace kq7tool
