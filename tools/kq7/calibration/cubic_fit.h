/* SPDX-License-Identifier: MIT */
// The least-squares cubic through (band, wavelength) points: the wavelength
// polynomial a sensor stores.
#pragma once

#include <array>
#include <cstddef>
#include <vector>


namespace kq7tool {

// Points a cubic needs at least.
constexpr size_t kCubicTerms = 4;

struct CubicFit {
    std::array<double, 4> coefficients{};  // a0 the cubic term, a3 the constant
    std::vector<double> residualsNm;      // fitted minus known, point by point
    double rmsNm = 0.0;                   // root mean square of the residuals
};

// Needs at least kCubicTerms points, with bands counted from 1 up to `bandCount`.
CubicFit FitCubic(const std::vector<double>& bands, const std::vector<double>& wavelengthsNm, int bandCount);

}  // namespace kq7tool
