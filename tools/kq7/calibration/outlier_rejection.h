/* SPDX-License-Identifier: MIT */
// A cubic through matched lines that no misidentified line drags off.
#pragma once

#include <vector>

#include "kq7/calibration/cubic_fit.h"
#include "kq7/calibration/line_matcher.h"

namespace kq7tool {

struct OutlierFreeFit {
    std::vector<LineMatch> used;
    std::vector<LineMatch> rejected;  // in the order they were dropped
    CubicFit fit;                     // through the lines used
};

// Fits, and while the worst line's residual exceeds both a floor and a
// multiple of the others' RMS, drops it and fits again. Needs at least four
// matches; with five or fewer nothing is dropped, as a cubic through so few
// leaves no others to judge by.
OutlierFreeFit FitRejectingOutliers(std::vector<LineMatch> matches, int bands);

}  // namespace kq7tool
