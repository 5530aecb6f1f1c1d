/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/calibration_report.h"

#include <cstdio>

namespace kq7tool {

namespace {

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

std::string CoefficientsText(const Coefficients& a) {
    return Printf("a0=%.17g a1=%.17g a2=%.17g a3=%.17g", a[0], a[1], a[2], a[3]);
}

std::string CalibrationReport(const Calibration& c) {
    std::string text = Printf("peaks found: %d, lines matched: %zu, lines used: %d\n", c.peaksFound, c.lines.size(),
                              c.linesUsed);
    if (!c.lines.empty()) {
        text += "    band    counts   known nm  fitted nm  residual nm\n";
    }
    for (const CalibrationLine& line : c.lines) {
        text += Printf("%8.3f %9.0f %10.3f %10.3f %+12.3f%s\n", line.band, line.height, line.knownNm, line.fittedNm,
                       line.residualNm, line.used ? "" : "  rejected");
    }
    text += Printf("RMS residual: %.3f nm over %d lines\n", c.rmsNm, c.linesUsed);
    text += "old coefficients: " + CoefficientsText(c.oldCoefficients) + "\n";
    text += "new coefficients: " + CoefficientsText(c.newCoefficients) + "\n";
    text += Printf("largest shift of the axis: %+.3f nm at band %d\n", c.largestShiftNm, c.largestShiftBand);
    if (!c.refusal.empty()) {
        text += "refused: " + c.refusal + "\n";
    }
    return text;
}

}  // namespace kq7tool
