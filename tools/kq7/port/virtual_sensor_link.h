/* SPDX-License-Identifier: MIT */
// The virtual sensor in this process, as a link of its own.
#pragma once

#include "kq7/port/byte_link.h"
#include "sim/local_sensor.h"

namespace kq7tool {

class VirtualSensorLink : public ByteLink {
public:
    explicit VirtualSensorLink(const kq7sim::SimConfig& config) : sensor_(config) {}
    int64_t Write(const uint8_t* data, int64_t length) override { return sensor_.Write(data, length); }
    int64_t Read(uint8_t* dest, int64_t maxLength) override { return sensor_.Read(dest, maxLength); }

    const kq7sim::VirtualSensor& Sensor() const { return sensor_.Sensor(); }

private:
    kq7sim::LocalSensor sensor_;
};

}  // namespace kq7tool
