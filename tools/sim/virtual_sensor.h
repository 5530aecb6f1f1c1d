/* SPDX-License-Identifier: MIT */
// A KQ7 sensor on the far side of the serial link: it takes request frames
// byte by byte and answers every command of the protocol as the instrument
// does, with an injected fault if its configuration asks for one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/light_model.h"
#include "sim/sim_config.h"

namespace kq7sim {

using Bytes = std::vector<uint8_t>;

// The band counts the library can take: its sample array holds 2048.
constexpr int kMinBands = 1;
constexpr int kMaxBands = 2048;

class VirtualSensor {
public:
    // Throws std::invalid_argument for a band count outside kMinBands..kMaxBands.
    explicit VirtualSensor(const SimConfig& config);

    // Takes request bytes as they come off the link, in any pieces, and
    // returns the reply bytes that the completed requests call for (none
    // while a request is incomplete, and none from a silent sensor).
    // Requests with a wrong CRC or an unusable payload go unanswered.
    Bytes Feed(const uint8_t* data, size_t length);

    bool ShutterOpen() const { return shutterOpen_; }
    int32_t ShutterValue() const { return shutterValue_; }
    // The calibration the sensor reports: its true one (Config().coefficients)
    // with the configured drift, or the last one written to it.
    const std::array<double, 4>& Coefficients() const { return coefficients_; }
    const SimConfig& Config() const { return config_; }

private:
    Bytes Answer(uint8_t command, const Bytes& payload);
    Bytes Execute(uint8_t command, const Bytes& payload);
    Bytes Spectrum();
    // The reply frame, with the configured fault's stray bytes or bad CRC.
    Bytes Reply(uint8_t command, const Bytes& payload) const;

    SimConfig config_;
    LightModel light_;
    Bytes pending_;                 // request bytes not yet part of a whole frame
    bool shutterOpen_ = true;       // the shutter is open at power-up
    int32_t shutterValue_ = 0;
    std::array<double, 4> coefficients_;
    bool busyAnswered_ = false;     // Fault::Busy: the last command got the busy frame
};

}  // namespace kq7sim
