/* SPDX-License-Identifier: MIT */
// The wavelength polynomial of a KQ7 sensor, as it stores its calibration:
// band n, counted from 1, lies at a0 n^3 + a1 n^2 + a2 n + a3 nm, a0 the cubic
// term and a3 the constant. The virtual sensor's optics and kq7's tools all
// evaluate it here.
#pragma once

#include <array>

namespace kq7sim {

using Coefficients = std::array<double, 4>;

// `band` may lie between two bands, as a peak's centre does.
inline double WavelengthAt(const Coefficients& a, double band) {
    return ((a[0] * band + a[1]) * band + a[2]) * band + a[3];
}

}  // namespace kq7sim
