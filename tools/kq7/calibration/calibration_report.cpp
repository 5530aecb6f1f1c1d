/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/calibration_report.h"

#include <cstdio>

#include "kq7/coefficients.h"

namespace kq7tool {

namespace {

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

std::string CalibrationReport(const Calibration& c) {
    std::string text =
        Printf("peaks found: %d, lines matched: %zu, lines used: %d\n", c.peaksFound, c.lines.size(), c.linesUsed);
    if (!c.lines.empty()) {
        text += "    band    counts   known nm  fitted nm  residual nm\n";
    }
    for (const CalibrationLine& line : c.lines) {
        text += Printf("%8.3f %9.0f %10.3f %10.3f %+12.3f%s\n", line.band, line.height, line.knownNm, line.fittedNm,
                       line.residualNm, line.used ? "" : "  rejected");
    }
    text += Printf("RMS residual: %.3f nm over %d lines\n", c.rmsNm, c.linesUsed);
    text += "old coefficients (a0 a1 a2 a3): " + CoefficientsText(c.oldCoefficients) + "\n";
    text += "new coefficients (a0 a1 a2 a3): " + CoefficientsText(c.newCoefficients) + "\n";
    text += Printf("largest shift of the axis: %+.3f nm at band %d\n", c.largestShiftNm, c.largestShiftBand);
    if (!c.refusal.empty()) {
        text += "refused: " + c.refusal + "\n";
    }
    return text;
}

}  // namespace kq7tool
