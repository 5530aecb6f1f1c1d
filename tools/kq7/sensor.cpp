/* SPDX-License-Identifier: MIT */
#include "kq7/sensor.h"

#include <chrono>
#include <thread>
#include <utility>

#include "kq7/failure.h"
#include "kq7/interrupt.h"
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

// A failed port answers every poll at once: the library's polling would spin.
constexpr std::chrono::milliseconds kFailedLinkPause{5};

// The seven exports drive one sensor per process: this one.
Sensor* g_sensor = nullptr;

int64_t KQ7_CALL LinkWrite(const uint8_t* data, int64_t length) { return g_sensor->Write(data, length); }

int64_t KQ7_CALL LinkRead(uint8_t* dest, int64_t maxLength) {
    const int64_t n = g_sensor->Read(dest, maxLength);
    if (n < 0) {
        std::this_thread::sleep_for(kFailedLinkPause);
        return 0;
    }
    return n;
}

std::string AtMost(long seconds) { return "gives up after at most " + std::to_string(seconds) + " s"; }

}  // namespace

Sensor::Sensor(ByteLink& bytes, SensorPlace place) : bytes_(bytes), place_(std::move(place)) {
    g_sensor = this;
    KQ7Set_Serial_FUN(LinkWrite, LinkRead);
}

Sensor::~Sensor() { g_sensor = nullptr; }

int64_t Sensor::Write(const uint8_t* data, int64_t length) { return bytes_.Write(data, length); }

int64_t Sensor::Read(uint8_t* dest, int64_t maxLength) {
    TickWaitProgress();
    const int64_t n = bytes_.Read(dest, maxLength);
    if (n > 0) {
        received_ += static_cast<uint64_t>(n);
    }
    return n;
}

void Sensor::CheckLink() const {
    const std::string error = bytes_.Error();
    if (!error.empty()) {
        throw Failure(kExitPortError, "port " + place_.port + " failed: " + error + " (was the adapter unplugged?)");
    }
}

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
    CheckLink();
    if (received_ == 0) {
        throw Failure(kExitNoAnswer, "no answer from the sensor" + NoAnswerHint());
    }
    throw Failure(kExitIdentFailed, "identification failed: the sensor's replies were not usable");
}

void Sensor::SetShutter(bool open) {
    const uint64_t before = received_;
    KQ7SetShutterOpen(open ? kShutterOpen : kShutterClosed);
    CheckLink();
    if (received_ == before) {
        throw Failure(kExitNoAnswer, "no answer to the shutter command" + NoAnswerHint());
    }
}

void Sensor::StopIfInterrupted() const {
    if (Interrupted()) {
        throw Failure(kExitInterrupted, "interrupted");
    }
}

std::vector<uint16_t> Sensor::Capture(int shutter) {
    StopIfInterrupted();
    std::vector<uint16_t> samples(static_cast<size_t>(info_.bandnumber > 0 ? info_.bandnumber : 0));
    const WaitProgress progress("capture at shutter value " + std::to_string(shutter),
                                AtMost(CaptureLimitSeconds(shutter)));
    if (samples.empty() || KQ7GetData(samples.data(), shutter) != info_.bandnumber) {
        CheckLink();
        throw Failure(kExitCaptureFailed, "capture failed at shutter value " + std::to_string(shutter));
    }
    return samples;
}

Sensor::Exposure Sensor::AutoExposure(int percent) {
    StopIfInterrupted();
    const WaitProgress progress("exposure search", "each capture " + AtMost(CaptureLimitSeconds(kLongestShutter)));
    const int shutter = KQ7OptSnenser(percent);
    if (shutter == 0) {
        CheckLink();
        throw Failure(kExitCaptureFailed, "automatic exposure failed: a capture failed");
    }
    return {shutter, shutter != kShortestShutter && shutter != kLongestShutter};
}

void Sensor::WriteCoefficients(const std::array<double, 4>& coefficients) {
    if (KQ7SetWeaveLenthCoeff(coefficients.data(), static_cast<int>(coefficients.size())) != 1) {
        CheckLink();
        throw Failure(kExitNotAcknowledged, "the sensor did not acknowledge the coefficients");
    }
}

}  // namespace kq7tool
