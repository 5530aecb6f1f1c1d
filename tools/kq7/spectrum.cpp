/* SPDX-License-Identifier: MIT */
#include "kq7/spectrum.h"

#include <algorithm>
#include <cstdint>

#include "kq7/coefficient_write.h"
#include "sensor/wavelength.h"

namespace kq7tool {

std::vector<double> Wavelengths(const SensorInfoC& info) {
    const Coefficients a = CurrentCoefficients(info);
    std::vector<double> wavelengths;
    for (int band = 1; band <= info.bandnumber; ++band) {
        wavelengths.push_back(kq7::Wavelength(a, band));
    }
    return wavelengths;
}

Acquisition CaptureMean(Sensor& sensor, int shutter, int times) {
    const int fullScale = sensor.Info().maxValue;
    Acquisition result;
    std::vector<bool> saturated;
    for (int i = 0; i < times; ++i) {
        const std::vector<uint16_t> samples = sensor.Capture(shutter);
        result.counts.resize(samples.size(), 0.0);
        saturated.resize(samples.size(), false);
        for (size_t band = 0; band < samples.size(); ++band) {
            result.counts[band] += samples[band];
            saturated[band] = saturated[band] || samples[band] >= fullScale;
        }
    }
    for (double& value : result.counts) {
        value /= times;
    }
    result.saturatedBands = static_cast<int>(std::count(saturated.begin(), saturated.end(), true));
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
