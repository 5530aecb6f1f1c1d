/* SPDX-License-Identifier: MIT */
#include "kq7/spectrum.h"

#include <algorithm>
#include <cstdint>

#include "kq7/failure.h"

namespace kq7tool {

std::vector<double> Wavelengths(const SensorInfoC& info) {
    const double a0 = info.coeff[0];
    const double a1 = info.coeff[1];
    const double a2 = info.coeff[2];
    const double a3 = info.coeff[3];
    std::vector<double> wavelengths;
    for (int band = 1; band <= info.bandnumber; ++band) {
        const double x = band;
        wavelengths.push_back(((a0 * x + a1) * x + a2) * x + a3);
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
