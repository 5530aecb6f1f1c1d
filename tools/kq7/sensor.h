/* SPDX-License-Identifier: MIT */
// The sensor as kq7's commands see it: each call talks to the sensor and
// throws Failure, with the reason and a hint, when it goes wrong.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "nerb_kq7lib.h"

namespace kq7tool {

// The bounds at which the exposure search gives up.
constexpr int kShortestShutter = 12;
constexpr int kLongestShutter = 10000;

// Where the sensor is, as the messages and the metadata name it.
struct SensorPlace {
    std::string port;  // the port's path, or "sim"
    int baud = 0;
    bool virtualSensor = false;
};

class Sensor {
public:
    explicit Sensor(SensorPlace place) : place_(std::move(place)) {}

    const SensorPlace& Place() const { return place_; }

    // Identifies the sensor; the record stays available through Info().
    const SensorInfoC& Identify();
    const SensorInfoC& Info() const { return info_; }

    void SetShutter(bool open);

    // One spectrum at `shutter`, a sample per band.
    std::vector<uint16_t> Capture(int shutter);

    struct Exposure {
        int shutter = 0;
        bool inRange = false;  // the peak landed in the window
    };
    Exposure AutoExposure(int percent);

    void WriteCoefficients(const std::array<double, 4>& coefficients);

private:
    std::string NoAnswerHint() const;

    SensorPlace place_;
    SensorInfoC info_{};
};

}  // namespace kq7tool
