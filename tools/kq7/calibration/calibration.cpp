/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kq7/calibration/line_matcher.h"
#include "lamps/mercury_argon_lines.h"
#include "kq7/calibration/outlier_rejection.h"
#include "kq7/calibration/peak_finder.h"
#include "nerb_kq7lib.h"

namespace kq7tool {

namespace {

// The optics blur a line over a little more than two bands (about 3 nm):
// lines closer than this share one peak.
constexpr double kMinLineSeparationNm = 4.0;
// How far off the stored axis may be for the lines still to be found.
constexpr double kMaxAxisErrorNm = 20.0;
// The stored axis is off by about the same everywhere, give or take this.
constexpr double kOffsetSpreadNm = 1.0;
// The match tolerance starts here and tightens to a multiple of each fit's
// RMS residual, but not below the final tolerance.
constexpr double kInitialToleranceNm = 2.0;
constexpr double kFinalToleranceNm = 0.3;
constexpr double kTolerancePerRms = 5.0;
constexpr int kMaxRounds = 10;

std::string Refusal(const Calibration& c) {
    if (c.linesUsed < kMinCalibrationLines) {
        return "only " + std::to_string(c.linesUsed) + " lines matched the lamp's known lines; at least " +
               std::to_string(kMinCalibrationLines) + " are needed";
    }
    if (!(c.rmsNm <= kMaxCalibrationRmsNm)) {
        char text[80];
        std::snprintf(text, sizeof text, "the RMS residual of %.3f nm is above %.2f nm", c.rmsNm, kMaxCalibrationRmsNm);
        return text;
    }
    return {};
}

void AddLines(Calibration& c, const std::vector<LineMatch>& matches, bool used) {
    for (const LineMatch& match : matches) {
        const double fitted = kq7_wavelength(c.newCoefficients.data(), match.band);
        c.lines.push_back({match.band, match.height, match.knownNm, fitted, fitted - match.knownNm, used});
    }
}

}  // namespace

Calibration Calibrate(const std::vector<double>& counts, const std::array<double, 4>& current,
                      const std::vector<double>& linesNm, double saturationCounts) {
    Calibration c;
    c.bands = static_cast<int>(counts.size());
    c.oldCoefficients = current;
    c.newCoefficients = current;
    const std::vector<Peak> peaks = FindPeaks(counts, saturationCounts);
    c.peaksFound = static_cast<int>(peaks.size());

    std::array<double, 4> axis = current;
    axis[3] += AxisOffsetNm(peaks, linesNm, current, kMaxAxisErrorNm, kOffsetSpreadNm);
    double tolerance = kInitialToleranceNm;
    OutlierFreeFit best;
    for (int round = 0; round < kMaxRounds; ++round) {
        const std::vector<LineMatch> matches = MatchLines(peaks, linesNm, axis, tolerance);
        if (matches.size() < kCubicTerms) {
            break;
        }
        best = FitRejectingOutliers(matches, c.bands);
        axis = best.fit.coefficients;
        const double next = std::max(kFinalToleranceNm, kTolerancePerRms * best.fit.rmsNm);
        if (next >= tolerance) {
            break;
        }
        tolerance = next;
    }

    if (!best.used.empty()) {
        c.newCoefficients = best.fit.coefficients;
        c.linesUsed = static_cast<int>(best.used.size());
        c.rmsNm = best.fit.rmsNm;
        AddLines(c, best.used, true);
        AddLines(c, best.rejected, false);
        std::sort(c.lines.begin(), c.lines.end(),
                  [](const CalibrationLine& a, const CalibrationLine& b) { return a.band < b.band; });
    }
    for (int band = 1; band <= c.bands; ++band) {
        const double shift =
            kq7_wavelength(c.newCoefficients.data(), band) - kq7_wavelength(c.oldCoefficients.data(), band);
        if (std::abs(shift) > std::abs(c.largestShiftNm)) {
            c.largestShiftNm = shift;
            c.largestShiftBand = band;
        }
    }
    c.refusal = Refusal(c);
    return c;
}

std::vector<double> ResolvedMercuryArgonLines() {
    std::vector<double> resolved;
    for (const ReferenceLine& line : kMercuryArgonLines) {
        const bool blended = std::any_of(
            std::begin(kMercuryArgonLines), std::end(kMercuryArgonLines), [&line](const ReferenceLine& other) {
                return &other != &line && std::abs(other.airNm - line.airNm) < kMinLineSeparationNm;
            });
        if (!blended) {
            resolved.push_back(line.airNm);
        }
    }
    return resolved;
}

}  // namespace kq7tool
