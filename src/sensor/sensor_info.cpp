/* SPDX-License-Identifier: MIT */
#include "sensor/sensor_info.h"

#include <cstring>

namespace kq7 {

static_assert(sizeof SensorInfoC{}.identField1 == kIdentFieldCapacity, "fields of one size");
static_assert(sizeof SensorInfoC{}.identField2 == kIdentFieldCapacity, "fields of one size");

SensorInfoC ToSensorInfoC(const SensorInfo& info) {
    SensorInfoC sensorinfo_c;
    std::memset(&sensorinfo_c, 0, sizeof sensorinfo_c);
    // Both fields hold a NUL within their capacity, and zeros behind it.
    std::memcpy(sensorinfo_c.identField1, info.identField1, kIdentFieldCapacity);
    sensorinfo_c.bandnumber = info.bandnumber;
    sensorinfo_c.maxValue = info.maxValue;
    std::memcpy(sensorinfo_c.identField2, info.identField2, kIdentFieldCapacity);
    for (int k = 0; k < kCoefficientCount; ++k) {
        sensorinfo_c.coeff[k] = info.coeff[k];
    }
    sensorinfo_c.flag = info.flag;
    return sensorinfo_c;
}

}  // namespace kq7
