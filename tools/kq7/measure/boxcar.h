/* SPDX-License-Identifier: MIT */
// Smoothing by a boxcar: a centred moving average.
#pragma once

#include <vector>

namespace kq7tool {

// Each band becomes the mean of itself and the `halfWidth` bands on either
// side. Near the ends the window shrinks on both sides alike, to as many
// bands as there are on the nearer side, so that it stays centred and a
// feature near an end does not move: the first and last bands keep their
// values, band 2 is the mean of bands 1 to 3, and so on. An invalid band
// (NaN) stays invalid and is left out of its neighbours' means. A half-width
// of 0 (or less) leaves the values as they are.
std::vector<double> Boxcar(const std::vector<double>& values, int halfWidth);

}  // namespace kq7tool
