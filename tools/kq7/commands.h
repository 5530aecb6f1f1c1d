/* SPDX-License-Identifier: MIT */
// The kq7 commands. Each identifies the sensor first (KQ7SensorInit), writes
// its data through WriteData and throws Failure when something goes wrong.
#pragma once

#include <array>
#include <string>

namespace kq7tool {

// Where a spectrum goes: a CSV file ("-" or empty: the data output) and an
// SVG plot (empty: none).
struct SpectrumOutput {
    std::string csvPath;
    std::string svgPath;
};

struct CaptureOptions {
    int shutter = 0;
    bool dark = false;  // subtract a capture taken with the shutter closed
    int average = 1;    // captures averaged into one spectrum
    SpectrumOutput output;
};

void RunInfo();
void RunCapture(const CaptureOptions& options);
// Searches the shutter value for `percent` of full scale; captures at it when
// `output` names a file.
void RunAuto(int percent, const SpectrumOutput& output);
void RunShutter(bool open);
void RunCoeff(const std::array<double, 4>& coefficients);

}  // namespace kq7tool
