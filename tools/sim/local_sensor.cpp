/* SPDX-License-Identifier: MIT */
#include "sim/local_sensor.h"

#include <chrono>

namespace kq7sim {

namespace {

int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

LocalSensor::LocalSensor(const SimConfig& config) : sensor_(config), outbox_(PacingFor(config, 0)) {}

int64_t LocalSensor::Write(const uint8_t* data, int64_t length) {
    if (data == nullptr || length <= 0) {
        return 0;
    }
    outbox_.Push(sensor_.Feed(data, static_cast<size_t>(length)), NowUs());
    return length;
}

int64_t LocalSensor::Read(uint8_t* dest, int64_t maxLength) {
    if (dest == nullptr || maxLength <= 0) {
        return 0;
    }
    return static_cast<int64_t>(outbox_.Take(dest, static_cast<size_t>(maxLength), NowUs()));
}

}  // namespace kq7sim
