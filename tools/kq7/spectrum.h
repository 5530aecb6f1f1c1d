/* SPDX-License-Identifier: MIT */
// Spectra as kq7 captures and writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nerb_kq7lib.h"

namespace kq7tool {

struct Spectrum {
    std::vector<double> wavelengthsNm;  // band n (from 1) is entry n - 1
    std::vector<double> counts;
    std::string title;  // what the plot says it shows
    std::string valueLabel = "Counts";  // what the plot's y axis says the values are
};

// The wavelength of every band of `info`, as the library computes it
// (kq7_wavelengths); empty for a record without bands.
std::vector<double> Wavelengths(const SensorInfoC& info);

struct Acquisition {
    std::vector<double> counts;
    int saturatedBands = 0;  // bands at full scale in any of the captures
    std::vector<bool> saturated;  // which ones, band by band
};

// Captures summed band by band into their mean.
class CaptureSum {
public:
    void Add(const std::vector<uint16_t>& samples, int fullScale);
    // The mean of what was added (nothing: no bands).
    Acquisition Mean() const;

private:
    std::vector<double> sum_;
    std::vector<bool> saturated_;
    int captures_ = 0;
};

// light - dark, band by band; negative where the dark capture was higher, so
// that the noise around zero averages out.
std::vector<double> SubtractDark(const std::vector<double>& light, const std::vector<double>& dark);

}  // namespace kq7tool
