/* SPDX-License-Identifier: MIT */
#include "kq7/device/sensor.h"

#include <utility>

#include "kq7/diagnostics.h"
#include "kq7/interrupt.h"

namespace kq7tool {

namespace {

// Shows a progress line while it lives, unless `shown` is false.
class ProgressScope {
public:
    ProgressScope(std::unique_ptr<WaitProgress>& slot, bool shown, std::string what) : slot_(slot) {
        if (shown) {
            slot_ = std::make_unique<WaitProgress>(std::move(what));
        }
    }
    ~ProgressScope() { slot_.reset(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    std::unique_ptr<WaitProgress>& slot_;
};

int64_t KQ7_CALL LinkWrite(void* context, const uint8_t* data, int64_t length) {
    return static_cast<Sensor*>(context)->Write(data, length);
}

int64_t KQ7_CALL LinkRead(void* context, uint8_t* dest, int64_t maxLength) {
    return static_cast<Sensor*>(context)->Read(dest, maxLength);
}

std::string OutOfRangeReason(int shutter) {
    if (shutter <= KQ7_SHUTTER_SEARCH_MIN) {
        return " (too bright even at the shortest shutter value)";
    }
    if (shutter >= KQ7_SHUTTER_SEARCH_MAX) {
        return " (too dark even at the longest shutter value)";
    }
    return " (the search did not settle)";
}

}  // namespace

std::string OutOfRangeText(const kq7::Exposure& exposure, int percent) {
    return "the exposure search ran out of range: it ended at shutter value " + std::to_string(exposure.shutter) +
           " without a peak at " + std::to_string(percent) + " % of full scale" + OutOfRangeReason(exposure.shutter);
}

Sensor::Sensor(ByteLink& bytes, SensorPlace place, bool showLog)
    : bytes_(bytes), place_(std::move(place)), device_(LinkWrite, LinkRead, this) {
    if (showLog) {
        device_.setLog([](const char* line) { Say(std::string(line) + "\n"); });
    }
    CancelOnInterrupt(device_.get());
}

Sensor::~Sensor() { CancelOnInterrupt(nullptr); }

int64_t Sensor::Write(const uint8_t* data, int64_t length) {
    const int64_t n = bytes_.Write(data, length);
    if (n < 0) {
        NoteLinkFailure();
    }
    return n;
}

int64_t Sensor::Read(uint8_t* dest, int64_t maxLength) {
    if (progress_) {
        progress_->Tick();
    }
    const int64_t n = bytes_.Read(dest, maxLength);
    if (n < 0) {
        // Nothing more will come (an unplugged adapter): end the call now
        // rather than at its time limit.
        NoteLinkFailure();
        device_.cancel();
        return 0;
    }
    return n;
}

void Sensor::NoteLinkFailure() {
    linkFailure_ = bytes_.Error();
    if (linkFailure_.empty()) {
        linkFailure_ = "no reason given";
    }
}

template <typename Call>
auto Sensor::Run(Call call, ExitStatus status, const std::string& what) {
    // A link's reason stays after it failed: only this call's failure counts.
    linkFailure_.clear();
    try {
        return call();
    } catch (const kq7::Error& error) {
        if (!linkFailure_.empty()) {
            throw Failure(kExitPortError,
                          "port " + place_.port + " failed: " + linkFailure_ + " (was the adapter unplugged?)",
                          error.code());
        }
        if (error.code() == KQ7_ERR_CANCELLED && Interrupted()) {
            throw Failure(kExitInterrupted, "interrupted", error.code());
        }
        if (error.code() == KQ7_ERR_NO_REPLY) {
            throw Failure(kExitNoAnswer, what + ": " + error.what() + NoAnswerHint(), error.code());
        }
        throw Failure(status, what + ": " + error.what(), error.code());
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
    const ProgressScope progress(progress_, showWaits_, "capture at shutter value " + std::to_string(shutter));
    return Run([this, shutter] { return device_.capture(shutter); }, kExitCaptureFailed,
               "capture failed at shutter value " + std::to_string(shutter));
}

kq7::Exposure Sensor::AutoExposure(int percent) {
    StopIfInterrupted();
    const ProgressScope progress(progress_, showWaits_, "exposure search");
    return Run([this, percent] { return device_.autoExposure(percent); }, kExitCaptureFailed,
               "automatic exposure failed");
}

void Sensor::WriteCoefficients(const std::array<double, 4>& coefficients) {
    Run([this, &coefficients] { device_.writeCoefficients({coefficients.begin(), coefficients.end()}); },
        kExitNotAcknowledged, "writing the coefficients failed");
}

}  // namespace kq7tool
