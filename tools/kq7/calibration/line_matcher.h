/* SPDX-License-Identifier: MIT */
// Which peak is which reference line, under a wavelength axis that is roughly
// right.
#pragma once

#include <array>
#include <vector>

#include "kq7/calibration/peak_finder.h"

namespace kq7tool {

struct LineMatch {
    double band;     // the peak's centre
    double height;   // the peak's counts above the background
    double knownNm;  // the reference line's wavelength
};

// The constant shift, within +-maxShiftNm, that brings the most peaks within
// binNm of a reference line under `axis`: an aged calibration is off by about
// the same everywhere, and no single line is trusted to say by how much.
double AxisOffsetNm(const std::vector<Peak>& peaks, const std::vector<double>& linesNm,
                    const std::array<double, 4>& axis, double maxShiftNm, double binNm);

// Pairs of a peak and a reference line that are each other's nearest under
// `axis` and lie within toleranceNm, in band order: a peak serves one line at
// most.
std::vector<LineMatch> MatchLines(const std::vector<Peak>& peaks, const std::vector<double>& linesNm,
                                  const std::array<double, 4>& axis, double toleranceNm);

}  // namespace kq7tool
