/* SPDX-License-Identifier: MIT */
// The wavelength coefficients as kq7 shows, checks and reads them.
#pragma once

#include <array>
#include <string>

#include "nerb_kq7lib.h"

namespace kq7tool {

using Coefficients = std::array<double, 4>;  // a0 (cubic) to a3 (constant)

// The coefficients of the identification record.
Coefficients CurrentCoefficients(const SensorInfoC& info);

// Why `coefficients` cannot be the calibration of `bands` bands (a value
// that is not finite in the sensor's single precision, or wavelengths that
// do not rise strictly from band 1 to the last), or "" when they can.
std::string CoefficientProblem(const Coefficients& coefficients, int bands);

// "a0=... a1=... a2=... a3=..." as `kq7 info` shows them.
std::string CoefficientsLine(const Coefficients& coefficients);

// "a0 a1 a2 a3", each with enough digits to be read back exactly.
std::string CoefficientsText(const Coefficients& coefficients);

// " (400.00 nm to 800.00 nm)": the range of `bands` bands under
// `coefficients` as the sensor will report them; "" for no bands.
std::string RangeText(const Coefficients& coefficients, int bands);

}  // namespace kq7tool
