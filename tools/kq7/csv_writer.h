/* SPDX-License-Identifier: MIT */
#pragma once

#include <string>

#include "kq7/spectrum.h"

namespace kq7tool {

// "band,wavelength_nm,counts" and one row per band, bands numbered from 1.
std::string SpectrumCsv(const Spectrum& spectrum);

}  // namespace kq7tool
