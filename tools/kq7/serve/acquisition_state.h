/* SPDX-License-Identifier: MIT */
// What the acquisition does, what it was asked to do and what it showed last.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "kq7/serve/serve_limits.h"
#include "nerb_kq7lib.h"

namespace kq7serve {

enum class State { Identifying, Capturing, Paused, NoAnswer, Failing, SearchingExposure, TakingDark };

// A word for the page to style by, and a sentence for people.
const char* StateName(State state);
const char* StateText(State state);

struct Settings {
    int shutter = kStartShutter;
    int average = 1;  // captures averaged into one spectrum
    bool subtractDark = false;
    bool paused = false;
};

// A request from the page: the fields it names, already checked.
struct SettingsChange {
    std::optional<int> shutter;
    std::optional<int> average;
    std::optional<bool> subtractDark;
    std::optional<bool> paused;
};

// The dark spectrum and the shutter value it was taken at.
struct Dark {
    std::vector<double> counts;
    int shutter = 0;
};

// The spectrum on the page, as "save CSV" writes it.
struct ShownSpectrum {
    SensorInfoC info{};
    std::chrono::system_clock::time_point capturedAt;
    std::vector<double> counts;
    int shutter = 0;
    int average = 1;
    bool darkSubtracted = false;
};

}  // namespace kq7serve
