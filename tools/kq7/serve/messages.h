/* SPDX-License-Identifier: MIT */
// The JSON of the three kinds of event that the page receives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kq7/serve/acquisition_state.h"
#include "nerb_kq7lib.h"

namespace kq7serve {

// The largest count of a spectrum, where it lies and how far up the scale.
struct Peak {
    double counts = 0;
    int band = 0;  // from 1
    double wavelengthNm = 0;
    double percentOfFullScale = 0;
};
Peak FindPeak(const std::vector<double>& counts, const std::vector<double>& wavelengthsNm, int fullScale);

// Identity, band count, coefficients and the wavelength of every band.
std::string SensorMessage(const SensorInfoC& info, const std::vector<double>& wavelengthsNm);

struct StatusReport {
    State state = State::Identifying;
    std::string lastError;  // empty: none since the start
    Settings settings;
    std::optional<int> darkShutter;  // the shutter value of the dark spectrum held, if any
};
std::string StatusMessage(const StatusReport& report);

// One spectrum: `saturated` when a single capture reached full scale
// somewhere, the rate in captures per second.
std::string SpectrumMessage(uint64_t sequence, const ShownSpectrum& spectrum, const std::vector<double>& wavelengthsNm,
                            bool saturated, double capturesPerSecond);

}  // namespace kq7serve
