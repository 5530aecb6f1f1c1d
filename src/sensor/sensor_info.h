/* SPDX-License-Identifier: MIT */
#pragma once

#include <cstdint>

#include "nerb_kq7lib.h"

namespace kq7 {

constexpr int32_t kFullScale = 0xFFFF;  // a 16-bit sample
constexpr int kCoefficientCount = 4;
// Room of each identification field: 99 characters and the NUL.
constexpr size_t kIdentFieldCapacity = 100;

// What an identification read from the sensor. Fixed size: a device holds it
// without allocating.
struct SensorInfo {
    char identField1[kIdentFieldCapacity] = {};  // identification text up to its first '-'
    int32_t maxValue = 0;                        // full scale, once the band count is known
    int32_t bandnumber = 0;
    uint8_t flag = 0;                            // carried into the record, never assigned
    char identField2[kIdentFieldCapacity] = {};  // text between the first and second '-'
    float coeff[kCoefficientCount] = {};         // a0 (cubic term) to a3 (constant)
};

// The record handed to the host: zero-filled, then filled from `info`.
SensorInfoC ToSensorInfoC(const SensorInfo& info);

}  // namespace kq7
