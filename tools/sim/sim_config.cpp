/* SPDX-License-Identifier: MIT */
#include "sim/sim_config.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstdio>
#include <utility>

namespace kq7sim {

namespace {

constexpr std::pair<const char*, Fault> kFaultNames[] = {
    {"none", Fault::None},     {"silent", Fault::Silent},   {"busy", Fault::Busy},
    {"bad-crc", Fault::BadCrc}, {"stray", Fault::Stray},     {"chunked", Fault::Chunked},
    {"delay", Fault::Delay},
};

constexpr std::pair<const char*, LightSource> kLightSourceNames[] = {
    {"continuum", LightSource::Continuum},
    {"hgar", LightSource::MercuryArgon},
};

template <typename Value, size_t N>
std::optional<Value> ValueNamed(const std::pair<const char*, Value> (&table)[N], const std::string& name) {
    for (const auto& [text, value] : table) {
        if (name == text) {
            return value;
        }
    }
    return std::nullopt;
}

// The first entry names the default, for a value outside the table.
template <typename Value, size_t N>
const char* NameOf(const std::pair<const char*, Value> (&table)[N], Value value) {
    for (const auto& [text, entry] : table) {
        if (entry == value) {
            return text;
        }
    }
    return table[0].first;
}

// The calibration of a 512-band sensor: 340.8 nm at band 1, 1026.7 nm at band
// 512, a small negative cubic term as real gratings show.
constexpr double kA0 = -1.5e-7;
constexpr double kA1 = 1.2e-4;
constexpr double kA2 = 1.32;
constexpr double kA3 = 339.48;

}  // namespace

std::optional<Fault> ParseFault(const std::string& name) { return ValueNamed(kFaultNames, name); }

const char* FaultName(Fault fault) { return NameOf(kFaultNames, fault); }

std::optional<LightSource> ParseLightSource(const std::string& name) { return ValueNamed(kLightSourceNames, name); }

const char* LightSourceName(LightSource source) { return NameOf(kLightSourceNames, source); }

std::optional<Absorber> ParseAbsorber(const std::string& text) {
    Absorber absorber;
    double* parts[] = {&absorber.centreNm, &absorber.fwhmNm, &absorber.depth};
    const char* next = text.c_str();
    for (size_t k = 0; k < 3; ++k) {
        char* end = nullptr;
        *parts[k] = std::strtod(next, &end);
        if (end == next || *end != (k < 2 ? ':' : '\0')) {
            return std::nullopt;
        }
        next = end + 1;
    }
    if (!std::isfinite(absorber.centreNm) || !std::isfinite(absorber.fwhmNm) || !std::isfinite(absorber.depth) ||
        absorber.fwhmNm <= 0.0 || absorber.depth < 0.0) {
        return std::nullopt;
    }
    return absorber;
}

double Absorbance(const Absorber& absorber, double nm) {
    const double z = (nm - absorber.centreNm) / absorber.fwhmNm;
    return absorber.depth * std::exp(-4.0 * std::log(2.0) * z * z);
}

std::array<double, 4> DefaultCoefficients(int bands) {
    // Band n of `bands` sits where band n * 512 / bands of the reference does.
    const double s = static_cast<double>(kDefaultBands) / bands;
    return {kA0 * s * s * s, kA1 * s * s, kA2 * s, kA3};
}

std::array<double, 4> DriftedCoefficients(const std::array<double, 4>& coefficients, int bands, double driftNm) {
    // The error is driftNm (3 + T3(s)) / 4, with the Chebyshev polynomial
    // T3(s) = 4 s^3 - 3 s of s = alpha n + beta, which runs from -1 at band 1
    // to 1 at the last band; expanded in powers of n it adds to each
    // coefficient. One band has s = 0 throughout.
    const double alpha = bands > 1 ? 2.0 / (bands - 1) : 0.0;
    const double beta = bands > 1 ? -1.0 - alpha : 0.0;
    std::array<double, 4> drifted = coefficients;
    drifted[0] += driftNm * alpha * alpha * alpha;
    drifted[1] += driftNm * 3.0 * alpha * alpha * beta;
    drifted[2] += driftNm * (3.0 * alpha * beta * beta - 0.75 * alpha);
    drifted[3] += driftNm * (0.75 + beta * beta * beta - 0.75 * beta);
    return drifted;
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
