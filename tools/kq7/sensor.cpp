/* SPDX-License-Identifier: MIT */
#include "kq7/sensor.h"

#include "kq7/failure.h"
#include "kq7/host_link.h"
#include "kq7/wait_progress.h"

namespace kq7tool {

namespace {

constexpr int kShutterClosed = 0;
constexpr int kShutterOpen = 1;
// The library's reply limits, as documented: a command (such as setting the
// shutter value) has 10 tries of 1 s, a capture 10 tries of 2 x shutter + 2 s.
constexpr long kTries = 10;
constexpr long kCommandTryMs = 1000;
constexpr long kCaptureTryFixedMs = 2000;

long CaptureLimitSeconds(int shutter) {
    return kTries * (kCommandTryMs + 2L * shutter + kCaptureTryFixedMs) / 1000;
}

std::string AtMost(long seconds) { return "gives up after at most " + std::to_string(seconds) + " s"; }

}  // namespace

std::string Sensor::NoAnswerHint() const {
    if (place_.virtualSensor) {
        return "";
    }
    return " on " + place_.port + " at " + std::to_string(place_.baud) +
           " baud (check the cable and the sensor's power, that this is the sensor's port, and --baud)";
}

const SensorInfoC& Sensor::Identify() {
    if (KQ7SensorInit() == 1) {
        info_ = KQ7Get_SensorInfo();
        return info_;
    }
    if (BytesFromSensor() == 0) {
        throw Failure(kExitNoAnswer, "no answer from the sensor" + NoAnswerHint());
    }
    throw Failure(kExitIdentFailed, "identification failed: the sensor's replies were not usable");
}

void Sensor::SetShutter(bool open) {
    const uint64_t before = BytesFromSensor();
    KQ7SetShutterOpen(open ? kShutterOpen : kShutterClosed);
    if (BytesFromSensor() == before) {
        throw Failure(kExitNoAnswer, "no answer to the shutter command" + NoAnswerHint());
    }
}

std::vector<uint16_t> Sensor::Capture(int shutter) {
    std::vector<uint16_t> samples(static_cast<size_t>(info_.bandnumber > 0 ? info_.bandnumber : 0));
    const WaitProgress progress("capture at shutter value " + std::to_string(shutter),
                                AtMost(CaptureLimitSeconds(shutter)));
    if (samples.empty() || KQ7GetData(samples.data(), shutter) != info_.bandnumber) {
        throw Failure(kExitCaptureFailed, "capture failed at shutter value " + std::to_string(shutter));
    }
    return samples;
}

Sensor::Exposure Sensor::AutoExposure(int percent) {
    const WaitProgress progress("exposure search", "each capture " + AtMost(CaptureLimitSeconds(kLongestShutter)));
    const int shutter = KQ7OptSnenser(percent);
    if (shutter == 0) {
        throw Failure(kExitCaptureFailed, "automatic exposure failed: a capture failed");
    }
    return {shutter, shutter != kShortestShutter && shutter != kLongestShutter};
}

void Sensor::WriteCoefficients(const std::array<double, 4>& coefficients) {
    if (KQ7SetWeaveLenthCoeff(coefficients.data(), static_cast<int>(coefficients.size())) != 1) {
        throw Failure(kExitNotAcknowledged, "the sensor did not acknowledge the coefficients");
    }
}

}  // namespace kq7tool
