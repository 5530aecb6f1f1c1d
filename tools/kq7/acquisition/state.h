/* SPDX-License-Identifier: MIT */
// What an acquisition does, what it was asked to do, and what it hands on.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kq7/measure/measurement_mode.h"
#include "nerb_kq7lib.h"

namespace kq7tool {

enum class State { Identifying, Capturing, Paused, NoAnswer, Failing, SearchingExposure, TakingDark, Disconnected };

// A word for a program to go by, and a sentence for people.
const char* StateName(State state);
const char* StateText(State state);

struct Settings {
    int shutter = 0;
    int average = 1;  // captures averaged into one spectrum
    bool subtractDark = false;
    bool paused = false;
    // Anything but counts needs a reference and a dark.
    Quantity quantity = Quantity::Counts;
};

// A request to change the settings: the fields it names, already checked.
struct SettingsChange {
    std::optional<int> shutter;
    std::optional<int> average;
    std::optional<bool> subtractDark;
    std::optional<bool> paused;
    std::optional<Quantity> quantity{};  // {}: brace lists that end before it stay complete
};

struct Status {
    State state = State::Identifying;
    std::string sensorSerial;  // the sensor this run keeps to, once known
    std::string lastError;  // "14:03:27 capture: no reply"; empty: none since the start
    Settings settings;
    std::optional<int> darkShutter;  // the shutter value of the dark spectrum held, if any
    std::optional<int> referenceShutter;  // the same of the reference held
};

// StateText, with the sensor waited for while disconnected.
std::string StatusText(const Status& status);

// One spectrum as the acquisition hands it on.
struct CapturedSpectrum {
    uint64_t sequence = 0;  // from 1, one for each spectrum handed on
    SensorInfoC info{};
    std::chrono::system_clock::time_point capturedAt;  // when its first capture began
    std::vector<double> counts;
    int shutter = 0;
    int average = 1;
    bool darkSubtracted = false;
    bool saturated = false;        // a band reached full scale in one of its captures
    int saturatedBands = 0;        // how many did
    // What `values` are: `counts` against the reference held, when the
    // settings ask for it and a reference and a dark are held; otherwise
    // the counts themselves.
    Quantity quantity = Quantity::Counts;
    std::vector<double> values;  // NaN where invalid
    int invalidBands = 0;
    double capturesPerSecond = 0;  // over the last few captures; 0 until known
};

}  // namespace kq7tool
