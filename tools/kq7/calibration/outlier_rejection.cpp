/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/outlier_rejection.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kq7tool {

namespace {

// A line whose residual exceeds this many times the RMS of the others, and
// the floor, is an outlier: a misidentified peak or a blend.
constexpr double kOutlierRatio = 4.0;
constexpr double kOutlierFloorNm = 0.1;

CubicFit FitMatches(const std::vector<LineMatch>& matches, int bands) {
    std::vector<double> band;
    std::vector<double> known;
    for (const LineMatch& match : matches) {
        band.push_back(match.band);
        known.push_back(match.knownNm);
    }
    return FitCubic(band, known, bands);
}

}  // namespace

OutlierFreeFit FitRejectingOutliers(std::vector<LineMatch> matches, int bands) {
    OutlierFreeFit result;
    for (;;) {
        result.fit = FitMatches(matches, bands);
        if (matches.size() <= kCubicTerms + 1) {
            break;
        }
        const std::vector<double>& r = result.fit.residualsNm;
        const size_t worst = static_cast<size_t>(
            std::max_element(r.begin(), r.end(), [](double a, double b) { return std::abs(a) < std::abs(b); }) -
            r.begin());
        double othersSquares = 0.0;
        for (size_t i = 0; i < r.size(); ++i) {
            othersSquares += i == worst ? 0.0 : r[i] * r[i];
        }
        const double othersRms = std::sqrt(othersSquares / static_cast<double>(r.size() - 1));
        if (std::abs(r[worst]) <= std::max(kOutlierFloorNm, kOutlierRatio * othersRms)) {
            break;
        }
        result.rejected.push_back(matches[worst]);
        matches.erase(matches.begin() + static_cast<std::ptrdiff_t>(worst));
    }
    result.used = std::move(matches);
    return result;
}

}  // namespace kq7tool
