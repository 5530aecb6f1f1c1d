/* SPDX-License-Identifier: MIT */
// What the virtual sensor's detector sees: the configured light source (a
// lamp with a smooth continuum and a few broad emission lines, or a
// mercury-argon reference lamp), through the sample if one is configured, on
// top of a dark level, with noise.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "sim/sim_config.h"

namespace kq7sim {

constexpr int32_t kFullScale = 65535;
// Counts that every band reads with the shutter closed.
constexpr double kDarkLevel = 1000.0;

class LightModel {
public:
    // The light falls on the bands by `config.coefficients`, the sensor's
    // true calibration, whatever calibration it reports or is written to it.
    explicit LightModel(const SimConfig& config);

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
