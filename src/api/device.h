/* SPDX-License-Identifier: MIT */
// A device of the public interface: its log, its link and the sensor on it,
// allocated whole at kq7_open. The seven exports work on one more, built in.
#pragma once

#include <atomic>

#include "link/link.h"
#include "log/log.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"

struct kq7_device {
    kq7::Log log;
    kq7::Link link{log};
    kq7::Sensor sensor{link, log};
    bool identified = false;  // the last kq7_identify succeeded
    // Set while a call runs on the device. A flag rather than a lock: a
    // nested or concurrent call must return at once, never wait.
    mutable std::atomic<bool> inUse{false};
};

namespace kq7 {

// Holds `device` for one call, if no other call holds it.
class DeviceCall {
public:
    // For a call that only reads the device.
    explicit DeviceCall(const kq7_device& device)
        : device_(device), entered_(!device.inUse.exchange(true, std::memory_order_acquire)) {}
    // For a call that may talk to the sensor: a cancel that came while no
    // call ran is forgotten.
    explicit DeviceCall(kq7_device& device) : DeviceCall(static_cast<const kq7_device&>(device)) {
        if (entered_) {
            device.link.ClearCancel();
        }
    }
    ~DeviceCall() {
        if (entered_) {
            device_.inUse.store(false, std::memory_order_release);
        }
    }
    DeviceCall(const DeviceCall&) = delete;
    DeviceCall& operator=(const DeviceCall&) = delete;

    bool Refused() const { return !entered_; }

private:
    const kq7_device& device_;
    bool entered_;
};

// The device behind the seven exports, with the host's context-free
// functions it reaches its link through.
struct BuiltInDevice {
    BuiltInDevice();

    kq7_device device;
    SerialWriteFn write = nullptr;
    SerialReadFn read = nullptr;
    bool sensorCreated = false;  // KQ7SensorInit ran at least once
};

BuiltInDevice& TheBuiltInDevice();

}  // namespace kq7
