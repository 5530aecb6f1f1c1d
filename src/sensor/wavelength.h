/* SPDX-License-Identifier: MIT */
// The sensor's wavelength calibration, for everything that needs it.
#pragma once

#include <array>
#include <cstdint>

namespace kq7 {

// The wavelength in nm of band `band` (counted from 1) under the calibration
// a0 (cubic term) to a3 (constant) that the sensor reports:
// ((a0 x^3 + a1 x^2) + a2 x) + a3 with x = band, every product rounded to
// double before the next addition.
double Wavelength(const std::array<double, 4>& a, int32_t band);

}  // namespace kq7
