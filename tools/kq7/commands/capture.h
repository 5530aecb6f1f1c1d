/* SPDX-License-Identifier: MIT */
// kq7 capture: one spectrum at a shutter value.
#pragma once

#include "kq7/commands/measurement_options.h"
#include "kq7/commands/spectrum_output.h"
#include "kq7/device/sensor.h"

namespace kq7tool {

struct CaptureOptions {
    int shutter = 0;
    bool dark = false;    // subtract a capture taken with the shutter closed
    int average = 1;      // captures averaged into one spectrum
    bool strict = false;  // saturation fails the command instead of warning
    SpectrumOutput output;
    MeasurementOptions measurement;
};

void RunCapture(Sensor& sensor, const CaptureOptions& options);

}  // namespace kq7tool
