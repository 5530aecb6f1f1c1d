/* SPDX-License-Identifier: MIT */
#include "kq7/sensor.h"

#include <cstdio>
#include <utility>

#include "kq7/interrupt.h"
#include "kq7/wait_progress.h"

namespace kq7tool {

namespace {

// The library's reply limits, as documented: a command (such as setting the
// shutter value) has 10 tries of 1 s, a capture 10 tries of 2 x shutter + 2 s.
constexpr long kTries = 10;
constexpr long kCommandTryMs = 1000;
constexpr long kCaptureTryFixedMs = 2000;

long CaptureLimitSeconds(int shutter) {
    return kTries * (kCommandTryMs + 2L * shutter + kCaptureTryFixedMs) / 1000;
}

std::string AtMost(long seconds) { return "gives up after at most " + std::to_string(seconds) + " s"; }

int64_t KQ7_CALL LinkWrite(void* context, const uint8_t* data, int64_t length) {
    return static_cast<Sensor*>(context)->Write(data, length);
}

int64_t KQ7_CALL LinkRead(void* context, uint8_t* dest, int64_t maxLength) {
    return static_cast<Sensor*>(context)->Read(dest, maxLength);
}

}  // namespace

Sensor::Sensor(ByteLink& bytes, SensorPlace place, bool showLog)
    : bytes_(bytes), place_(std::move(place)), device_(LinkWrite, LinkRead, this) {
    if (showLog) {
        device_.setLog([](const char* line) { std::fprintf(stderr, "%s\n", line); });
    }
    CancelOnInterrupt(device_.get());
}

Sensor::~Sensor() { CancelOnInterrupt(nullptr); }

int64_t Sensor::Write(const uint8_t* data, int64_t length) { return bytes_.Write(data, length); }

int64_t Sensor::Read(uint8_t* dest, int64_t maxLength) {
    TickWaitProgress();
    const int64_t n = bytes_.Read(dest, maxLength);
    if (n < 0) {
        // Nothing more will come (an unplugged adapter): end the call now
        // rather than at its time limit.
        device_.cancel();
        return 0;
    }
    return n;
}

template <typename Call>
auto Sensor::Run(Call call, ExitStatus status, const std::string& what) {
    try {
        return call();
    } catch (const kq7::Error& error) {
        const std::string linkError = bytes_.Error();
        if (!linkError.empty()) {
            throw Failure(kExitPortError,
                          "port " + place_.port + " failed: " + linkError + " (was the adapter unplugged?)");
        }
        if (error.code() == KQ7_ERR_CANCELLED && Interrupted()) {
            throw Failure(kExitInterrupted, "interrupted");
        }
        if (error.code() == KQ7_ERR_NO_REPLY) {
            throw Failure(kExitNoAnswer, what + ": " + error.what() + NoAnswerHint());
        }
        throw Failure(status, what + ": " + error.what());
    }
}

std::string Sensor::NoAnswerHint() const {
    if (place_.virtualSensor) {
        return "";
    }
    return " on " + place_.port + " at " + std::to_string(place_.baud) +
           " baud (check the cable and the sensor's power, that this is the sensor's port, and --baud)";
}

void Sensor::StopIfInterrupted() const {
    if (Interrupted()) {
        throw Failure(kExitInterrupted, "interrupted");
    }
}

const SensorInfoC& Sensor::Identify() {
    Run([this] { device_.identify(); }, kExitIdentFailed, "identification failed");
    info_ = device_.info();
    return info_;
}

void Sensor::SetShutter(bool open) {
    Run([this, open] { device_.setShutterOpen(open); }, kExitNotAcknowledged,
        open ? "opening the shutter failed" : "closing the shutter failed");
}

std::vector<uint16_t> Sensor::Capture(int shutter) {
    StopIfInterrupted();
    const WaitProgress progress("capture at shutter value " + std::to_string(shutter),
                                AtMost(CaptureLimitSeconds(shutter)));
    return Run([this, shutter] { return device_.capture(shutter); }, kExitCaptureFailed,
               "capture failed at shutter value " + std::to_string(shutter));
}

kq7::Exposure Sensor::AutoExposure(int percent) {
    StopIfInterrupted();
    const WaitProgress progress("exposure search", "each capture " + AtMost(CaptureLimitSeconds(kLongestShutter)));
    return Run([this, percent] { return device_.autoExposure(percent); }, kExitCaptureFailed,
               "automatic exposure failed");
}

void Sensor::WriteCoefficients(const std::array<double, 4>& coefficients) {
    Run([this, &coefficients] { device_.writeCoefficients({coefficients.begin(), coefficients.end()}); },
        kExitNotAcknowledged, "writing the coefficients failed");
}

}  // namespace kq7tool
