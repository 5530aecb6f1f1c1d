/* SPDX-License-Identifier: MIT */
// How a virtual KQ7 sensor is built and how it misbehaves.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kq7sim {

// One fault per run, applied to every reply.
enum class Fault {
    None,
    Silent,   // never answers
    Busy,     // answers a command first with a busy frame, properly on the resend
    BadCrc,   // every reply carries a wrong CRC
    Stray,    // stray bytes ahead of every reply
    Chunked,  // replies trickle out a few bytes at a time
    Delay,    // every reply waits delayMs before its first byte
};

// "none", "silent", "busy", "bad-crc", "stray", "chunked", "delay".
std::optional<Fault> ParseFault(const std::string& name);
const char* FaultName(Fault fault);

// What shines into the sensor.
enum class LightSource {
    Continuum,    // a smooth continuum with a few broad lines
    MercuryArgon, // a mercury-argon reference lamp: narrow lines only
};

// "continuum", "hgar".
std::optional<LightSource> ParseLightSource(const std::string& name);
const char* LightSourceName(LightSource source);

// A sample in the light path with a known answer: one absorption band of
// Gaussian shape.
struct Absorber {
    double centreNm = 0.0;
    double fwhmNm = 0.0;  // full width at half the peak absorbance
    double depth = 0.0;   // peak absorbance (base 10): 1 lets a tenth through
};

// "CENTRE:FWHM:DEPTH" in nm, nm and absorbance, e.g. "550:40:0.8"; nothing
// unless the width is above 0 and the depth 0 or more.
std::optional<Absorber> ParseAbsorber(const std::string& text);

// The band's absorbance at `nm`: depth exp(-4 ln 2 ((nm - centre) / fwhm)^2).
double Absorbance(const Absorber& absorber, double nm);

constexpr int kDefaultBands = 512;
constexpr uint32_t kDefaultSeed = 42;

// Wavelength polynomial over the band number n (from 1): a0 n^3 + a1 n^2 +
// a2 n + a3. For any band count the table spans about 340 to 1030 nm.
std::array<double, 4> DefaultCoefficients(int bands);

// `coefficients` with a smooth error added, as a sensor's stored calibration
// drifts with age: a cubic in the band number that is driftNm / 2 at the
// first band and at three quarters of the range, driftNm at one quarter and at
// the last band, and in between everywhere else (a negative driftNm moves the
// axis the other way).
std::array<double, 4> DriftedCoefficients(const std::array<double, 4>& coefficients, int bands, double driftNm);

// "KQ7-SIM" followed by the seed as five digits, e.g. "KQ7-SIM00042".
std::string DefaultIdentification(uint32_t seed);

struct SimConfig {
    int bands = kDefaultBands;
    uint32_t seed = kDefaultSeed;  // the noise, and so every spectrum, follows from it
    Fault fault = Fault::None;
    int delayMs = 0;    // with Fault::Delay
    int chunkSize = 4;  // with Fault::Chunked: bytes per delivery, 1 ms apart
    std::string identification = DefaultIdentification(kDefaultSeed);
    // The true calibration: where the light falls on the bands.
    std::array<double, 4> coefficients = DefaultCoefficients(kDefaultBands);
    LightSource source = LightSource::Continuum;
    // The error of the calibration the sensor reports (DriftedCoefficients);
    // 0: it reports the true one.
    double driftNm = 0.0;
    // In the light path of either source; none: the bare source.
    std::optional<Absorber> absorber;

    // The defaults for `bands` bands and `seed`, without fault.
    static SimConfig For(int bands, uint32_t seed);
};

}  // namespace kq7sim
