/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/line_matcher.h"

#include <cmath>
#include <cstddef>

#include "nerb_kq7lib.h"

namespace kq7tool {

namespace {

// The index below `count` at the smallest distance(index); count > 0.
template <typename Distance>
size_t Nearest(size_t count, Distance distance) {
    size_t best = 0;
    for (size_t i = 1; i < count; ++i) {
        if (distance(i) < distance(best)) {
            best = i;
        }
    }
    return best;
}

}  // namespace

double AxisOffsetNm(const std::vector<Peak>& peaks, const std::vector<double>& linesNm,
                    const std::array<double, 4>& axis, double maxShiftNm, double binNm) {
    std::vector<double> shifts;
    for (const Peak& peak : peaks) {
        const double nm = kq7_wavelength(axis.data(), peak.band);
        for (double line : linesNm) {
            if (std::abs(line - nm) <= maxShiftNm) {
                shifts.push_back(line - nm);
            }
        }
    }
    // Every candidate shift gets the votes of the shifts within binNm of it;
    // the best-supported one wins, the smaller one on a tie, and its voters'
    // mean is the answer.
    double best = 0.0;
    size_t bestVotes = 0;
    for (double candidate : shifts) {
        size_t votes = 0;
        double sum = 0.0;
        for (double shift : shifts) {
            if (std::abs(shift - candidate) <= binNm) {
                ++votes;
                sum += shift;
            }
        }
        const double mean = sum / static_cast<double>(votes);
        if (votes > bestVotes || (votes == bestVotes && std::abs(mean) < std::abs(best))) {
            bestVotes = votes;
            best = mean;
        }
    }
    return best;
}

std::vector<LineMatch> MatchLines(const std::vector<Peak>& peaks, const std::vector<double>& linesNm,
                                  const std::array<double, 4>& axis, double toleranceNm) {
    std::vector<LineMatch> matches;
    if (peaks.empty() || linesNm.empty()) {
        return matches;
    }
    std::vector<double> peakNm;
    for (const Peak& peak : peaks) {
        peakNm.push_back(kq7_wavelength(axis.data(), peak.band));
    }
    for (size_t p = 0; p < peaks.size(); ++p) {
        const size_t line = Nearest(linesNm.size(), [&](size_t l) { return std::abs(linesNm[l] - peakNm[p]); });
        const size_t back = Nearest(peaks.size(), [&](size_t q) { return std::abs(peakNm[q] - linesNm[line]); });
        if (back == p && std::abs(linesNm[line] - peakNm[p]) <= toleranceNm) {
            matches.push_back({peaks[p].band, peaks[p].height, linesNm[line]});
        }
    }
    return matches;
}

}  // namespace kq7tool
