/* SPDX-License-Identifier: MIT */
// A virtual sensor answering in this process: what is written goes straight
// to it, and its replies come back through Read as they fall due (at once,
// unless the configured fault delays or chunks them).
#pragma once

#include <cstdint>

#include "sim/outbox.h"
#include "sim/sim_config.h"
#include "sim/virtual_sensor.h"

namespace kq7sim {

class LocalSensor {
public:
    explicit LocalSensor(const SimConfig& config);

    // The link functions' contract: all of `data` taken; the bytes due, 0 when none.
    int64_t Write(const uint8_t* data, int64_t length);
    int64_t Read(uint8_t* dest, int64_t maxLength);

    const VirtualSensor& Sensor() const { return sensor_; }

private:
    VirtualSensor sensor_;
    Outbox outbox_;
};

}  // namespace kq7sim
