/* SPDX-License-Identifier: MIT */
// What the virtual sensor's detector sees: a lamp with a smooth continuum and
// a few narrow emission lines, on top of a dark level, with noise.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace kq7sim {

constexpr int32_t kFullScale = 65535;
// Counts that every band reads with the shutter closed.
constexpr double kDarkLevel = 1000.0;

class LightModel {
public:
    // `coefficients` is the sensor's factory calibration (a0 cubic ... a3
    // constant over band numbers from 1): it places the lamp's lines on the
    // bands, whatever calibration is written to the sensor later.
    LightModel(const std::array<double, 4>& coefficients, int bands, uint32_t seed);

    // One exposure: the dark level, plus light in proportion to the shutter
    // value while the shutter is open, plus read and shot noise; clamped to
    // 0..65535.
    std::vector<uint16_t> Expose(int32_t shutter, bool shutterOpen);

    // Noise-free light per unit of shutter value, band by band.
    const std::vector<double>& CountsPerShutterUnit() const { return rate_; }

private:
    std::vector<double> rate_;
    // Standard normal deviates drawn once from the seed: an exposure picks
    // from them, far cheaper than drawing each sample's noise afresh.
    std::vector<double> deviates_;
    std::mt19937 random_;
};

}  // namespace kq7sim
