/* SPDX-License-Identifier: MIT */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nerb_kq7lib.h"

namespace kq7 {

constexpr int32_t kFullScale = 0xFFFF;  // a 16-bit sample
constexpr int kCoefficientCount = 4;

// What an identification read from the sensor.
struct SensorInfo {
    std::string identField1;  // identification text up to its first '-'
    int32_t maxValue = 0;     // full scale, once the band count is known
    int32_t bandnumber = 0;
    std::string wavelengthText;      // every wavelength as "%f" followed by ','
    std::vector<float> wavelengths;  // band n (from 1) is entry n - 1
    uint8_t flag = 0;                // carried into SensorInfoC, never assigned
    std::string identField2;         // text between the first and second '-'
    float coeff[kCoefficientCount] = {};  // a0 (cubic term) to a3 (constant)
};

// The record handed to the host: zero-filled, then filled from `info`. Texts
// longer than a field are cut so that the NUL always fits.
SensorInfoC ToSensorInfoC(const SensorInfo& info);

}  // namespace kq7
