/* SPDX-License-Identifier: MIT */
// The kq7 commands. Each checks its output files, identifies the sensor,
// writes its data through WriteData and throws Failure when something goes
// wrong.
#pragma once

#include <optional>
#include <string>

#include "kq7/coefficient_write.h"
#include "kq7/sensor.h"

namespace kq7tool {

// Where a spectrum goes: a CSV file ("-" or empty: the data output) and an
// SVG plot (empty: none).
struct SpectrumOutput {
    std::string csvPath;
    std::string svgPath;
    bool metadata = true;  // `# key: value` lines ahead of the CSV header
};

struct CaptureOptions {
    int shutter = 0;
    bool dark = false;  // subtract a capture taken with the shutter closed
    int average = 1;    // captures averaged into one spectrum
    bool strict = false;  // saturation fails the command instead of warning
    SpectrumOutput output;
};

struct AutoOptions {
    int percent = 90;
    bool strict = false;  // out of range or saturated fails the command
    SpectrumOutput output;
};

struct StreamOptions {
    int shutter = 0;
    int count = 0;
    double intervalSeconds = 0;  // from the start of one capture to the next
    bool strict = false;
    std::string csvPath;
    bool metadata = true;
};

void RunInfo(Sensor& sensor);
void RunCapture(Sensor& sensor, const CaptureOptions& options);
// Searches the shutter value for `percent` of full scale; captures at it when
// `output` names a file.
void RunAuto(Sensor& sensor, const AutoOptions& options);
// `count` spectra, a row each, written as they come.
void RunStream(Sensor& sensor, const StreamOptions& options);
void RunShutter(Sensor& sensor, bool open);
// Shows the current coefficients; with `coefficients`, writes them
// (WriteCoefficientsSafely).
void RunCoeff(Sensor& sensor, const std::optional<Coefficients>& coefficients, const CoefficientWriteOptions& options);

}  // namespace kq7tool
