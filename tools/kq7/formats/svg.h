/* SPDX-License-Identifier: MIT */
// A line plot of counts against wavelength as a standalone SVG document.
#pragma once

#include <string>
#include <vector>

#include "kq7/spectrum.h"

namespace kq7tool {

// Round tick values (1, 2 or 5 times a power of ten apart) from `low` to
// `high` inclusive, about `wanted` of them.
std::vector<double> NiceTicks(double low, double high, int wanted);

std::string SpectrumSvg(const Spectrum& spectrum);

}  // namespace kq7tool
