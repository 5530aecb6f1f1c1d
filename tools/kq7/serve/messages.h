/* SPDX-License-Identifier: MIT */
// The JSON of the three kinds of event that the page receives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kq7/acquisition/state.h"
#include "nerb_kq7lib.h"

namespace kq7serve {

// The largest count of a spectrum, where it lies and how far up the scale.
struct Peak {
    double counts = 0;
    int band = 0;  // from 1
    double wavelengthNm = 0;
    double percentOfFullScale = 0;
};
Peak FindPeak(const std::vector<double>& counts, const std::vector<double>& wavelengthsNm, int fullScale);

// Identity, band count, coefficients and the wavelength of every band.
std::string SensorMessage(const SensorInfoC& info, const std::vector<double>& wavelengthsNm);

std::string StatusMessage(const kq7tool::Status& status);

// One spectrum, its peak placed on `wavelengthsNm`; measured against a
// reference, its quantity's values as well (null where invalid).
std::string SpectrumMessage(const kq7tool::CapturedSpectrum& spectrum, const std::vector<double>& wavelengthsNm);

}  // namespace kq7serve
