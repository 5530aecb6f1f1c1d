/* SPDX-License-Identifier: MIT */
// --reference, --mode, --boxcar and --accept-reference-shutter of capture
// and stream: a measurement against a reference file, checked before
// anything but the identification reaches the sensor.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "kq7/formats/csv.h"
#include "kq7/measure/measurement.h"
#include "nerb_kq7lib.h"

namespace kq7tool {

struct MeasurementOptions {
    std::string referencePath;
    std::string mode = "counts";
    int boxcar = 0;  // half-width in bands
    bool acceptReferenceShutter = false;
};

void AddMeasurementOptions(CLI::App& command, MeasurementOptions& options);

// The measurement the options ask for, its reference read from file but not
// yet checked against the sensor. Throws Failure: a mode without a
// reference, a reference file that cannot be read or is damaged.
Measurement ReadMeasurement(const MeasurementOptions& options);

// Checks the reference against the identified sensor and the settings
// (CheckReference), sets the scale, and fills what `metadata` says of the
// measurement. Throws Failure with the reason.
void CheckMeasurement(Measurement& measurement, const MeasurementOptions& options, const SensorInfoC& info,
                      int shutter, int average, CsvMetadata& metadata);

// A warning counting the bands left empty, if any.
void WarnInvalidBands(const Measurement& measurement, int invalidBands, size_t bands);

}  // namespace kq7tool
