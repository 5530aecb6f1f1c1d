/* SPDX-License-Identifier: MIT */
// kq7 calibrate: a new wavelength calibration from a reference lamp in front
// of the sensor, written through the same safe path as kq7 coeff.
#pragma once

#include <string>

#include "kq7/coefficient_write.h"
#include "kq7/sensor.h"

namespace kq7tool {

// The lamps kq7 knows the lines of.
constexpr const char* kMercuryArgonLamp = "hgar";

struct CalibrateOptions {
    std::string reportPath;  // the report also goes to this file; empty: none
    CoefficientWriteOptions write;
};

// Exposes for the lamp, averages captures, calibrates and shows the report;
// writes the result (WriteCoefficientsSafely) unless it is refused (then
// throws Failure, kExitFailure), and shows what the sensor reports after.
void RunCalibrate(Sensor& sensor, const CalibrateOptions& options);

}  // namespace kq7tool
