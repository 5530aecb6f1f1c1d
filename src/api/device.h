/* SPDX-License-Identifier: MIT */
// A device of the public interface: its log, its link and the sensor on it,
// allocated whole at kq7_open. The seven exports work on one more, built in.
#pragma once

#include <atomic>
#include <mutex>

#include "link/link.h"
#include "log/log.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"

struct kq7_device {
    kq7::Log log;
    kq7::Link link{log};
    kq7::Sensor sensor{link, log};
    bool identified = false;  // the last kq7_identify succeeded
    // What kq7_get_info answers, also during a call on another thread: the
    // record of the last successful identification.
    mutable std::mutex publishedLock;
    bool published = false;
    kq7_sensor_info publishedInfo{};
    std::atomic<int32_t> timeoutMs{0};  // kq7_set_timeout's limit for the next calls
    kq7::LogLine lastError;             // kq7_last_error_message's text
};

namespace kq7 {

// Holds `device` for one call, if no other call holds it and no close is
// waiting. A close that came during the call frees the device when the call
// lets it go.
class DeviceCall {
public:
    explicit DeviceCall(kq7_device& device) : device_(device), entered_(device.link.Gate().TryEnter()) {}
    ~DeviceCall() {
        if (entered_ && device_.link.Gate().Leave()) {
            delete &device_;
        }
    }
    DeviceCall(const DeviceCall&) = delete;
    DeviceCall& operator=(const DeviceCall&) = delete;

    bool Refused() const { return !entered_; }

private:
    kq7_device& device_;
    bool entered_;
};

// The device behind the seven exports, with the host's context-free
// functions it reaches its link through.
struct BuiltInDevice {
    BuiltInDevice();

    kq7_device device;
    kq7_serial_write_fn write = nullptr;
    kq7_serial_read_fn read = nullptr;
    bool sensorCreated = false;  // KQ7SensorInit ran at least once
};

BuiltInDevice& TheBuiltInDevice();

}  // namespace kq7
