/* SPDX-License-Identifier: MIT */
#include "sim/sim_config.h"

#include <cstdio>
#include <utility>

namespace kq7sim {

namespace {

constexpr std::pair<const char*, Fault> kFaultNames[] = {
    {"none", Fault::None},     {"silent", Fault::Silent},   {"busy", Fault::Busy},
    {"bad-crc", Fault::BadCrc}, {"stray", Fault::Stray},     {"chunked", Fault::Chunked},
    {"delay", Fault::Delay},
};

// The calibration of a 512-band sensor: 340.8 nm at band 1, 1026.7 nm at band
// 512, a small negative cubic term as real gratings show.
constexpr double kA0 = -1.5e-7;
constexpr double kA1 = 1.2e-4;
constexpr double kA2 = 1.32;
constexpr double kA3 = 339.48;

}  // namespace

std::optional<Fault> ParseFault(const std::string& name) {
    for (const auto& [text, fault] : kFaultNames) {
        if (name == text) {
            return fault;
        }
    }
    return std::nullopt;
}

const char* FaultName(Fault fault) {
    for (const auto& [text, value] : kFaultNames) {
        if (value == fault) {
            return text;
        }
    }
    return "none";
}

std::array<double, 4> DefaultCoefficients(int bands) {
    // Band n of `bands` sits where band n * 512 / bands of the reference does.
    const double s = static_cast<double>(kDefaultBands) / bands;
    return {kA0 * s * s * s, kA1 * s * s, kA2 * s, kA3};
}

std::string DefaultIdentification(uint32_t seed) {
    char text[32];
    std::snprintf(text, sizeof text, "KQ7-SIM%05u", static_cast<unsigned>(seed % 100000));
    return text;
}

SimConfig SimConfig::For(int bands, uint32_t seed) {
    SimConfig config;
    config.bands = bands;
    config.seed = seed;
    config.identification = DefaultIdentification(seed);
    config.coefficients = DefaultCoefficients(bands);
    return config;
}

}  // namespace kq7sim
