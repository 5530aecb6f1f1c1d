/* SPDX-License-Identifier: MIT */
#include <cmath>
#include <limits>

#include "sensor/sensor.h"

namespace kq7 {

namespace {

constexpr float kFirstShutter = 20.0f;
constexpr float kLowestShutter = static_cast<float>(KQ7_SHUTTER_SEARCH_MIN);
constexpr float kHighestShutter = static_cast<float>(KQ7_SHUTTER_SEARCH_MAX);
constexpr double kWindowLowerEdge = 0.95;   // of the target
constexpr double kAboveTargetFactor = 0.7;  // shortens a spectrum above target
constexpr float kDarkFactor = 10.0f;        // lengthens a completely dark one
constexpr double kProportionalAim = 0.98;   // of the target
constexpr int kProbeLimit = 200;

// The peak aimed at: full scale x percent / 100, truncated toward zero and
// held within an int whatever the percent.
int Target(int32_t maxValue, int percent) {
    const double target = std::trunc(static_cast<double>(maxValue) * percent / 100.0);
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::fmin(std::fmax(target, lowest), highest));
}

void LogProbe(const Log& log, float estimate, int peak) {
    if (log.Enabled()) {
        LogLine line;
        log.Write(LogRoute::kStream, line.Text("now Shutter is :").General(estimate).Text("  maxvalue is :").Int(peak));
    }
}

// Ends the search on `value`: KQ7_OK in the window, else out of range.
int End(int32_t& shutter, float value, int result) {
    shutter = static_cast<int32_t>(value);
    return result;
}

}  // namespace

// The peak is assumed to grow in proportion to the shutter value. The
// precision of every step (single or double) is part of the search: it
// decides which values are probed.
int Sensor::AutoExposure(int percent, int32_t& shutter) {
    const int target = Target(info_.maxValue, percent);
    float estimate = kFirstShutter;
    int result = Capture(static_cast<int32_t>(estimate));
    if (result != KQ7_OK) {
        return result;
    }
    int peak = PeakValue(samples_, info_.bandnumber);
    int probes = 0;
    for (;;) {
        if (peak >= kWindowLowerEdge * target && peak <= target) {
            return End(shutter, estimate, KQ7_OK);
        }
        if (peak > target) {
            estimate = static_cast<float>(estimate * kAboveTargetFactor);
        } else if (peak == 0) {
            estimate = estimate * kDarkFactor;
        } else {
            estimate = static_cast<float>(target * kProportionalAim / peak * estimate + 1);
        }
        if (estimate > kHighestShutter) {
            return End(shutter, kHighestShutter, KQ7_ERR_OUT_OF_RANGE);
        }
        if (estimate < kLowestShutter) {
            return End(shutter, kLowestShutter, KQ7_ERR_OUT_OF_RANGE);
        }
        result = Capture(static_cast<int32_t>(estimate));
        if (result != KQ7_OK) {
            return result;
        }
        peak = PeakValue(samples_, info_.bandnumber);
        LogProbe(log_, estimate, peak);
        ++probes;
        if (probes > kProbeLimit || estimate == kHighestShutter) {
            return End(shutter, kHighestShutter, KQ7_ERR_OUT_OF_RANGE);
        }
    }
}

}  // namespace kq7
