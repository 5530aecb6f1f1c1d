/* SPDX-License-Identifier: MIT */
// A calibration as a person reads it: every matched line, the residuals, the
// old and new coefficients, how far the axis moves, and any refusal.
#pragma once

#include <string>

#include "kq7/calibration/calibration.h"

namespace kq7tool {

std::string CalibrationReport(const Calibration& calibration);

}  // namespace kq7tool
