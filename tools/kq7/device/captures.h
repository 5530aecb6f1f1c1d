/* SPDX-License-Identifier: MIT */
// What takes more than one call on the sensor: a mean of captures, and a
// dark capture behind a closed shutter.
#pragma once

#include <functional>

#include "kq7/device/sensor.h"
#include "kq7/spectrum.h"

namespace kq7tool {

// Runs before each capture; false stops the mean there (throws Failure,
// kExitInterrupted, as Ctrl-C does).
using BeforeCapture = std::function<bool()>;

// The mean of `times` captures at `shutter`. Throws Failure.
Acquisition CaptureMean(Sensor& sensor, int shutter, int times, const BeforeCapture& before = nullptr);

// Closes the shutter for a dark capture and opens it again, also when the
// capture fails or Ctrl-C ends it.
class ClosedShutter {
public:
    explicit ClosedShutter(Sensor& sensor);
    ~ClosedShutter();
    ClosedShutter(const ClosedShutter&) = delete;
    ClosedShutter& operator=(const ClosedShutter&) = delete;

    void Open();

private:
    Sensor& sensor_;
    bool closed_ = true;
};

}  // namespace kq7tool
