/* SPDX-License-Identifier: MIT */
// A new wavelength calibration from the spectrum of a reference lamp: its
// peaks matched to the lamp's known lines, a cubic fitted through them, and
// the verdict whether the result may be written to the sensor.
#pragma once

#include <array>
#include <string>
#include <vector>


namespace kq7tool {

// Below this many lines the fit is refused.
constexpr int kMinCalibrationLines = 6;
// Above this RMS residual the fit is refused: a fifth of a band or so.
constexpr double kMaxCalibrationRmsNm = 0.25;

struct CalibrationLine {
    double band;        // the peak's centre, counted from 1
    double height;      // the peak's counts above the background
    double knownNm;     // the reference line
    double fittedNm;    // the new axis at the peak's centre
    double residualNm;  // fitted minus known
    bool used;          // false: rejected as an outlier
};

struct Calibration {
    int bands = 0;
    int peaksFound = 0;
    std::vector<CalibrationLine> lines;  // every matched line, in band order
    int linesUsed = 0;
    double rmsNm = 0.0;  // over the lines used
    std::array<double, 4> oldCoefficients{};
    std::array<double, 4> newCoefficients{};  // the old ones when no fit was possible
    double largestShiftNm = 0.0;             // new minus old axis, where it is largest
    int largestShiftBand = 0;
    // Why the result must not be written (too few lines, too large an RMS
    // residual); empty: it may, if the new axis makes a calibration at all.
    std::string refusal;
};

// Calibrates the axis of `counts` (band n at entry n - 1), which `current`
// describes roughly (within a few nm), against `linesNm`.
Calibration Calibrate(const std::vector<double>& counts, const std::array<double, 4>& current,
                      const std::vector<double>& linesNm, double saturationCounts);

// The wavelengths of the lamp's lines that the optics resolve: lines closer
// together than that blend into one peak whose centre is neither.
std::vector<double> ResolvedMercuryArgonLines();

}  // namespace kq7tool
