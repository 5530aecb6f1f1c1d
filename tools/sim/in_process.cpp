/* SPDX-License-Identifier: MIT */
#include "sim/in_process.h"

#include <memory>

#include "sim/local_sensor.h"

namespace kq7sim {

namespace {

std::unique_ptr<LocalSensor> g_sensor;

}  // namespace

void StartInProcess(const SimConfig& config) { g_sensor = std::make_unique<LocalSensor>(config); }

const VirtualSensor& InProcessSensor() { return g_sensor->Sensor(); }

int64_t KQ7_CALL InProcessWrite(const uint8_t* data, int64_t length) {
    return g_sensor == nullptr ? 0 : g_sensor->Write(data, length);
}

int64_t KQ7_CALL InProcessRead(uint8_t* dest, int64_t maxLength) {
    return g_sensor == nullptr ? 0 : g_sensor->Read(dest, maxLength);
}

}  // namespace kq7sim
