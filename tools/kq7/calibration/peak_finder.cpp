/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/peak_finder.h"

#include <algorithm>
#include <cmath>

namespace kq7tool {

namespace {

// A peak is the largest sample within this many bands on either side, so a
// line's noisy top counts once.
constexpr size_t kPeakHalfWindow = 2;
// A peak must stand this many noise deviations above the background, and at
// least this share of the tallest peak's height.
constexpr double kMinSignalToNoise = 8.0;
constexpr double kMinShareOfTallest = 0.01;
// The median absolute deviation of normally distributed noise, in standard
// deviations.
constexpr double kMadPerSigma = 0.6745;

double Median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

bool IsLocalMaximum(const std::vector<double>& counts, size_t i) {
    const size_t first = i - kPeakHalfWindow;
    for (size_t j = first; j <= i + kPeakHalfWindow; ++j) {
        // Strictly above the samples before, at least the samples after: a
        // flat top counts at its first sample.
        if ((j < i && counts[j] >= counts[i]) || (j > i && counts[j] > counts[i])) {
            return false;
        }
    }
    return true;
}

// Offset of the centre from the top sample, within half a band: the vertex of
// the Gaussian through the three top samples (a parabola through their
// logarithms), or of the parabola through the samples themselves when one of
// them is not above the background.
double SubBandOffset(double left, double top, double right) {
    double curvature = 0.0;
    double slope = 0.0;
    if (left > 0.0 && right > 0.0) {
        slope = std::log(right) - std::log(left);
        curvature = std::log(left) - 2.0 * std::log(top) + std::log(right);
    } else {
        slope = right - left;
        curvature = left - 2.0 * top + right;
    }
    if (curvature >= 0.0) {
        return 0.0;
    }
    return std::clamp(-0.5 * slope / curvature, -0.5, 0.5);
}

}  // namespace

std::vector<Peak> FindPeaks(const std::vector<double>& counts, double saturationCounts) {
    std::vector<Peak> peaks;
    if (counts.size() < 2 * kPeakHalfWindow + 1) {
        return peaks;
    }
    // A line spectrum is background at most bands: its median is the
    // background, the spread about it the noise.
    const double background = Median(counts);
    std::vector<double> deviations(counts.size());
    std::transform(counts.begin(), counts.end(), deviations.begin(),
                   [background](double value) { return std::abs(value - background); });
    const double noise = Median(deviations) / kMadPerSigma;
    const double tallest = *std::max_element(counts.begin(), counts.end()) - background;
    const double threshold = std::max(kMinSignalToNoise * noise, kMinShareOfTallest * tallest);

    for (size_t i = kPeakHalfWindow; i + kPeakHalfWindow < counts.size(); ++i) {
        const double height = counts[i] - background;
        if (height < threshold || !IsLocalMaximum(counts, i) || counts[i] >= saturationCounts) {
            continue;
        }
        const double offset = SubBandOffset(counts[i - 1] - background, height, counts[i + 1] - background);
        peaks.push_back({static_cast<double>(i + 1) + offset, height});
    }
    return peaks;
}

}  // namespace kq7tool
