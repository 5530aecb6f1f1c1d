/* SPDX-License-Identifier: MIT */
#include "kq7/device/captures.h"

namespace kq7tool {

Acquisition CaptureMean(Sensor& sensor, int shutter, int times, const BeforeCapture& before) {
    const int fullScale = sensor.Info().maxValue;
    CaptureSum sum;
    for (int i = 0; i < times; ++i) {
        if (before && !before()) {
            throw Failure(kExitInterrupted, "interrupted", KQ7_ERR_CANCELLED);
        }
        sum.Add(sensor.Capture(shutter), fullScale);
    }
    return sum.Mean();
}

ClosedShutter::ClosedShutter(Sensor& sensor) : sensor_(sensor) { sensor_.SetShutter(false); }

ClosedShutter::~ClosedShutter() {
    if (closed_) {
        try {
            sensor_.SetShutter(true);
        } catch (const Failure&) {
            // The failure that got us here is the one to report.
        }
    }
}

void ClosedShutter::Open() {
    closed_ = false;
    sensor_.SetShutter(true);
}

}  // namespace kq7tool
