/* SPDX-License-Identifier: MIT */
#include "kq7/commands/measurement_options.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "kq7/diagnostics.h"
#include "kq7/failure.h"
#include "kq7/output_paths.h"
#include "options/numbers.h"

namespace kq7tool {

void AddMeasurementOptions(CLI::App& command, MeasurementOptions& options) {
    command.add_option("--reference", options.referencePath, "Reference file written by 'kq7 reference'");
    command.add_option("--mode", options.mode, "counts, transmittance, absorbance or reflectance (needs --reference)")
        ->check(CLI::IsMember({"counts", "transmittance", "absorbance", "reflectance"}));
    command.add_option("--boxcar", options.boxcar, "Smooth by a centred moving average of this half-width (bands)")
        ->check(kq7options::WholeNumberIn(0, 1000));
    command.add_flag("--accept-reference-shutter", options.acceptReferenceShutter,
                     "Accept a reference taken at another shutter value, scaled by the ratio");
}

Measurement ReadMeasurement(const MeasurementOptions& options) {
    Measurement measurement;
    measurement.quantity = ParseQuantity(options.mode).value_or(Quantity::Counts);
    measurement.boxcarHalfWidth = options.boxcar;
    if (measurement.quantity != Quantity::Counts && options.referencePath.empty()) {
        throw Failure(kExitUsage, "--mode " + options.mode + " needs --reference FILE (take one with 'kq7 reference')");
    }
    if (!options.referencePath.empty()) {
        if (measurement.quantity == Quantity::Counts) {
            throw Failure(kExitUsage, "--reference needs --mode transmittance, absorbance or reflectance");
        }
        std::ifstream in(options.referencePath, std::ios::binary);
        if (!in) {
            throw Failure(kExitFailure, "cannot read " + options.referencePath + ": " + std::strerror(errno));
        }
        measurement.reference = ReadReferenceCsv(in, options.referencePath);
    }
    return measurement;
}

void CheckMeasurement(Measurement& measurement, const MeasurementOptions& options, const SensorInfoC& info,
                      int shutter, int average, CsvMetadata& metadata) {
    metadata.quantity = measurement.quantity;
    metadata.boxcarHalfWidth = measurement.boxcarHalfWidth;
    if (!measurement.reference) {
        return;
    }
    MeasurementSettings settings;
    settings.serial = info.identField2;
    settings.bands = info.bandnumber;
    settings.shutter = shutter;
    settings.averages = average;
    const ReferenceUse use =
        CheckReference(*measurement.reference, settings, options.referencePath, options.acceptReferenceShutter);
    measurement.referenceScale = use.scale;
    metadata.reference = use.metadata;
    metadata.darkSubtracted = true;
}

void WarnInvalidBands(const Measurement& measurement, int invalidBands, size_t bands) {
    if (invalidBands > 0) {
        SayWarning(std::to_string(invalidBands) + " of " + std::to_string(bands) + " bands have no " +
                   QuantityName(measurement.quantity) +
                   " (saturated, or too little reference light to divide by): left empty");
    }
}

}  // namespace kq7tool
