/* SPDX-License-Identifier: MIT */
#include <cmath>
#include <iostream>
#include <limits>
#include <locale>
#include <sstream>

#include "sensor/sensor.h"

namespace kq7 {

namespace {

constexpr float kFirstShutter = 20.0f;
constexpr float kLowestShutter = 12.0f;
constexpr float kHighestShutter = 10000.0f;
constexpr double kWindowLowerEdge = 0.95;   // of the target
constexpr double kAboveTargetFactor = 0.7;  // shortens a spectrum above target
constexpr float kDarkFactor = 10.0f;        // lengthens a completely dark one
constexpr double kProportionalAim = 0.98;   // of the target
constexpr int kProbeLimit = 200;
constexpr int kCaptureFailed = 0;

// The peak aimed at: full scale x percent / 100, truncated toward zero and
// held within an int whatever the percent.
int Target(int32_t maxValue, int percent) {
    const double target = std::trunc(static_cast<double>(maxValue) * percent / 100.0);
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::fmin(std::fmax(target, lowest), highest));
}

void PrintProbe(float estimate, int peak) {
    // The stream's default number format, whatever the host's locale.
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << "now Shutter is :" << estimate << "  maxvalue is :" << peak;
    std::cout << line.str() << std::endl;
}

}  // namespace

// The peak is assumed to grow in proportion to the shutter value. The
// precision of every step (single or double) is part of the search: it
// decides which values are probed.
int Sensor::AutoExposure(int percent) {
    const int target = Target(info.maxValue, percent);
    float estimate = kFirstShutter;
    if (!Capture(static_cast<int32_t>(estimate))) {
        return kCaptureFailed;
    }
    int peak = PeakValue(samples, info.bandnumber);
    int probes = 0;
    for (;;) {
        if (peak >= kWindowLowerEdge * target && peak <= target) {
            return static_cast<int>(estimate);
        }
        if (peak > target) {
            estimate = static_cast<float>(estimate * kAboveTargetFactor);
        } else if (peak == 0) {
            estimate = estimate * kDarkFactor;
        } else {
            estimate = static_cast<float>(target * kProportionalAim / peak * estimate + 1);
        }
        if (estimate > kHighestShutter) {
            return static_cast<int>(kHighestShutter);
        }
        if (estimate < kLowestShutter) {
            return static_cast<int>(kLowestShutter);
        }
        if (!Capture(static_cast<int32_t>(estimate))) {
            return kCaptureFailed;
        }
        peak = PeakValue(samples, info.bandnumber);
        PrintProbe(estimate, peak);
        ++probes;
        if (probes > kProbeLimit || estimate == kHighestShutter) {
            return static_cast<int>(kHighestShutter);
        }
    }
}

}  // namespace kq7
