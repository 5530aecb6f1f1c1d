/* SPDX-License-Identifier: MIT */
#include "kq7/device/reference_capture.h"

#include <utility>

namespace kq7tool {

ReferenceRecord CaptureReference(Sensor& sensor, int shutter, int average, const BeforeCapture& before) {
    ReferenceRecord reference;
    {
        ClosedShutter closed(sensor);
        reference.dark = CaptureMean(sensor, shutter, average, before).counts;
        closed.Open();
    }
    Acquisition light = CaptureMean(sensor, shutter, average, before);
    const SensorInfoC& info = sensor.Info();
    reference.serial = info.identField2;
    reference.shutter = shutter;
    reference.averages = average;
    reference.wavelengthsNm = Wavelengths(info);
    reference.light = std::move(light.counts);
    reference.saturated = std::move(light.saturated);
    return reference;
}

}  // namespace kq7tool
