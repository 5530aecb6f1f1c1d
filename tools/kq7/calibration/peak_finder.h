/* SPDX-License-Identifier: MIT */
// The emission lines in a spectrum: local maxima that stand clear of the
// background, each with its centre found between the bands.
#pragma once

#include <vector>

namespace kq7tool {

struct Peak {
    double band;    // centre, counted from 1; between two bands as a rule
    double height;  // counts above the background at the top sample
};

// The peaks of `counts` (band n at entry n - 1), in band order. Peaks whose top
// reaches `saturationCounts` are left out: a clipped top has no centre.
std::vector<Peak> FindPeaks(const std::vector<double>& counts, double saturationCounts);

}  // namespace kq7tool
