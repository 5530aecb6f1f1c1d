/* SPDX-License-Identifier: MIT */
// A reference spectrum taken on the sensor: its dark behind the closed
// shutter, then the light of the blank or white standard, at one setting.
#pragma once

#include "kq7/device/captures.h"
#include "kq7/measure/reference_record.h"

namespace kq7tool {

// The mean of `average` captures at `shutter`, dark first. Throws Failure.
ReferenceRecord CaptureReference(Sensor& sensor, int shutter, int average, const BeforeCapture& before = nullptr);

}  // namespace kq7tool
