/* SPDX-License-Identifier: MIT */
#include "kq7/spectrum.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "kq7/failure.h"
#include "sensor/wavelength.h"

namespace kq7tool {

std::vector<double> Wavelengths(const SensorInfoC& info) {
    const std::array<double, 4> a{info.coeff[0], info.coeff[1], info.coeff[2], info.coeff[3]};
    std::vector<double> wavelengths;
    for (int band = 1; band <= info.bandnumber; ++band) {
        wavelengths.push_back(kq7::Wavelength(a, band));
    }
    return wavelengths;
}

std::vector<double> CaptureMean(const SensorInfoC& info, int shutter, int times) {
    const size_t bands = static_cast<size_t>(std::max(info.bandnumber, 0));
    std::vector<double> sum(bands, 0.0);
    std::vector<uint16_t> samples(bands);
    for (int i = 0; i < times; ++i) {
        if (KQ7GetData(samples.data(), shutter) != info.bandnumber || bands == 0) {
            throw Failure(kExitCaptureFailed, "capture failed at shutter value " + std::to_string(shutter));
        }
        for (size_t band = 0; band < bands; ++band) {
            sum[band] += samples[band];
        }
    }
    for (double& value : sum) {
        value /= times;
    }
    return sum;
}

std::vector<double> SubtractDark(const std::vector<double>& light, const std::vector<double>& dark) {
    std::vector<double> result(light.size());
    for (size_t band = 0; band < light.size(); ++band) {
        const double d = band < dark.size() ? dark[band] : 0.0;
        result[band] = std::max(light[band] - d, 0.0);
    }
    return result;
}

}  // namespace kq7tool
