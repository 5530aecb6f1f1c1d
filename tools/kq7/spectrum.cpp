/* SPDX-License-Identifier: MIT */
#include "kq7/spectrum.h"

#include <algorithm>
#include <cstdint>

namespace kq7tool {

std::vector<double> Wavelengths(const SensorInfoC& info) {
    std::vector<double> wavelengths(static_cast<size_t>(std::max(info.bandnumber, 0)));
    const int bands = kq7_wavelengths(&info, wavelengths.data(), static_cast<int32_t>(wavelengths.size()));
    wavelengths.resize(static_cast<size_t>(std::max(bands, 0)));
    return wavelengths;
}

void CaptureSum::Add(const std::vector<uint16_t>& samples, int fullScale) {
    sum_.resize(samples.size(), 0.0);
    saturated_.resize(samples.size(), false);
    for (size_t band = 0; band < samples.size(); ++band) {
        sum_[band] += samples[band];
        saturated_[band] = saturated_[band] || samples[band] >= fullScale;
    }
    ++captures_;
}

Acquisition CaptureSum::Mean() const {
    Acquisition result;
    result.counts = sum_;
    for (double& value : result.counts) {
        value /= captures_;
    }
    result.saturated = saturated_;
    result.saturatedBands = static_cast<int>(std::count(saturated_.begin(), saturated_.end(), true));
    return result;
}

std::vector<double> SubtractDark(const std::vector<double>& light, const std::vector<double>& dark) {
    std::vector<double> result(light.size());
    for (size_t band = 0; band < light.size(); ++band) {
        result[band] = light[band] - (band < dark.size() ? dark[band] : 0.0);
    }
    return result;
}

}  // namespace kq7tool
