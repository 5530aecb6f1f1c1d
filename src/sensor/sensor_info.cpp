/* SPDX-License-Identifier: MIT */
#include "sensor/sensor_info.h"

#include <algorithm>
#include <cstring>

namespace kq7 {

namespace {

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

SensorInfoC ToSensorInfoC(const SensorInfo& info) {
    SensorInfoC sensorinfo_c;
    std::memset(&sensorinfo_c, 0, sizeof sensorinfo_c);
    CopyText(sensorinfo_c.identField1, info.identField1);
    sensorinfo_c.bandnumber = info.bandnumber;
    sensorinfo_c.maxValue = info.maxValue;
    CopyText(sensorinfo_c.identField2, info.identField2);
    for (int k = 0; k < kCoefficientCount; ++k) {
        sensorinfo_c.coeff[k] = info.coeff[k];
    }
    sensorinfo_c.flag = info.flag;
    return sensorinfo_c;
}

}  // namespace kq7
