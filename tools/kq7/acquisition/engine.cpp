/* SPDX-License-Identifier: MIT */
#include "kq7/acquisition/engine.h"

#include <cstring>
#include <utility>

#include "kq7/device/captures.h"
#include "kq7/device/reference_capture.h"
#include "kq7/measure/measurement.h"
#include "kq7/utc_time.h"

namespace kq7tool {

namespace {

constexpr std::chrono::milliseconds kCancelRepeat{20};
// Between two looks for a sensor that went away.
constexpr std::chrono::milliseconds kSearchInterval{1000};
// Captures over which the rate is measured.
constexpr size_t kRateWindow = 16;

// "14:03:27 capture: no reply": when the last error came, in local time.
std::string Stamped(const std::string& text) {
    return LocalTime(std::chrono::system_clock::now(), "%H:%M:%S") + " " + text;
}

}  // namespace

Engine::Engine(Sensor& sensor, Settings settings, Pacing pacing)
    : sensor_(sensor), search_(pacing.reconnect ? sensor.Search() : nullptr), pacing_(pacing), settings_(settings) {}

Engine::~Engine() { Stop(); }

void Engine::AddSink(Sink& sink) { sinks_.push_back(&sink); }

void Engine::Start() {
    running_ = true;
    PublishStatus();
    thread_ = std::thread([this] { Run(); });
}

void Engine::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    // A call may begin just after a cancel: cancel again until the thread ends.
    while (running_) {
        sensor_.Cancel();
        if (search_ != nullptr) {
            search_->Cancel();
        }
        wake_.wait_for(lock, kCancelRepeat);
    }
    lock.unlock();
    thread_.join();
}

bool Engine::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!wake_.wait_for(lock, timeout, [this] { return !running_; })) {
        return false;
    }
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    return true;
}

void Engine::Change(const SettingsChange& change) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_.shutter = change.shutter.value_or(settings_.shutter);
        settings_.average = change.average.value_or(settings_.average);
        settings_.subtractDark = change.subtractDark.value_or(settings_.subtractDark);
        settings_.paused = change.paused.value_or(settings_.paused);
        settings_.quantity = change.quantity.value_or(settings_.quantity);
    }
    wake_.notify_all();
    PublishStatus();
}

void Engine::TakeDark() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        darkRequested_ = true;
    }
    wake_.notify_all();
}

void Engine::TakeReference() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        referenceRequested_ = true;
    }
    wake_.notify_all();
}

void Engine::UseReference(ReferenceRecord reference) {
    std::lock_guard<std::mutex> lock(mutex_);
    reference_ = std::move(reference);
}

void Engine::SearchExposure(int percent) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exposurePercent_ = percent;
    }
    wake_.notify_all();
}

void Engine::Run() {
    for (;;) {
        bool dark = false;
        bool reference = false;
        std::optional<int> percent;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Paused, only requests wake the thread.
            wake_.wait(lock, [this] {
                return stopping_ || !identified_ || !settings_.paused || darkRequested_ || referenceRequested_ ||
                       exposurePercent_;
            });
            if (stopping_) {
                break;
            }
            if (disconnected_) {
                lock.unlock();
                LookForSensor();
                continue;
            }
            // Requests wait for the sensor: one made while it is identified
            // is carried out next, not lost to a capture.
            if (identified_) {
                dark = std::exchange(darkRequested_, false);
                reference = std::exchange(referenceRequested_, false);
                percent = std::exchange(exposurePercent_, std::nullopt);
            }
        }
        try {
            if (!identified_) {
                Identify();
            } else if (percent) {
                SearchExposureNow(*percent);
            } else if (dark) {
                TakeDarkNow();
            } else if (reference) {
                TakeReferenceNow();
            } else {
                CaptureAndDeliver();
            }
        } catch (const Failure& failure) {
            if (!Failed(failure)) {
                break;
            }
        }
        if (pacing_.count > 0 && sequence_ >= pacing_.count) {
            break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    wake_.notify_all();
}

void Engine::Identify() {
    bool retrying = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        retrying = state_ == State::NoAnswer || state_ == State::Disconnected;
    }
    // While a silent or missing sensor is retried, the state keeps saying that it is.
    if (!retrying) {
        SetState(State::Identifying);
    }
    const SensorInfoC& info = sensor_.Identify();
    const std::string serial(info.identField2, strnlen(info.identField2, sizeof info.identField2));
    if (reconnecting_ && serial != serial_) {
        // Never another sensor's spectra in this run's file or page.
        const std::string where = search_->Refuse();
        disconnected_ = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastError_ = Stamped("refused sensor " + serial + " on " + where + ": this run keeps to " + serial_);
        }
        PublishStatus();
        return;
    }
    identified_ = true;
    if (reconnecting_) {
        // What a power cycle may have undone; shutter value and averaging go with every capture.
        sensor_.SetShutter(true);
        SetState(State::Capturing);
    } else {
        // Another sensor may have come up: its dark is unknown.
        std::lock_guard<std::mutex> lock(mutex_);
        dark_ = Acquisition{};
        serial_ = serial;
    }
    const std::vector<double> wavelengthsNm = Wavelengths(info);
    for (Sink* sink : sinks_) {
        sink->OnSensor(info, wavelengthsNm);
    }
}

void Engine::Disconnect(const std::string& reason) {
    search_->Drop();
    identified_ = false;
    disconnected_ = true;
    reconnecting_ = !serial_.empty();
    nextSearch_ = Clock::now() + kSearchInterval;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastError_ = Stamped(reason);
        state_ = State::Disconnected;
    }
    PublishStatus();
}

void Engine::LookForSensor() {
    if (!SleepUntil(nextSearch_)) {
        return;
    }
    nextSearch_ = Clock::now() + kSearchInterval;
    disconnected_ = !search_->Search(serial_);
}

void Engine::SearchExposureNow(int percent) {
    SetState(State::SearchingExposure);
    const kq7::Exposure exposure = sensor_.AutoExposure(percent);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_.shutter = exposure.shutter;
        if (!exposure.inWindow) {
            // A failed search, though its last value is the one now used.
            lastError_ = Stamped(OutOfRangeText(exposure, percent) + "; the shutter value is now " +
                                 std::to_string(exposure.shutter));
        }
    }
    SetState(State::Capturing);
}

void Engine::TakeDarkNow() {
    SetState(State::TakingDark);
    const Settings settings = CurrentSettings();
    Acquisition dark;
    {
        // A shutter left closed would make every later spectrum dark.
        ClosedShutter closed(sensor_);
        dark = PacedMean(settings.shutter, settings.average);
        closed.Open();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dark_ = std::move(dark);
        darkShutter_ = settings.shutter;
        settings_.subtractDark = true;
    }
    SetState(State::Capturing);
}

void Engine::TakeReferenceNow() {
    SetState(State::TakingDark);
    const Settings settings = CurrentSettings();
    // Paced as the spectra are, and ended by a stop.
    ReferenceRecord reference = CaptureReference(sensor_, settings.shutter, settings.average,
                                                 [this] { return NextCaptureTurn().has_value(); });
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // The reference's dark serves the spectra after it as well.
        dark_.counts = reference.dark;
        darkShutter_ = settings.shutter;
        settings_.subtractDark = true;
        reference_ = std::move(reference);
    }
    SetState(State::Capturing);
}

void Engine::CaptureAndDeliver() {
    CapturedSpectrum spectrum;
    std::vector<double> dark;
    Measurement measurement;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        spectrum.shutter = settings_.shutter;
        spectrum.average = settings_.average;
        spectrum.darkSubtracted = settings_.subtractDark && !dark_.counts.empty();
        if (spectrum.darkSubtracted) {
            dark = dark_.counts;
        }
        if (settings_.quantity != Quantity::Counts && reference_ && spectrum.darkSubtracted &&
            reference_->shutter > 0) {
            measurement.quantity = settings_.quantity;
            measurement.reference = reference_;
            measurement.referenceScale = static_cast<double>(spectrum.shutter) / reference_->shutter;
        }
    }
    SetState(State::Capturing);
    Acquisition light = PacedMean(spectrum.shutter, spectrum.average, &spectrum.capturedAt);
    if (measurement.reference) {
        ModeValues values = Measure(measurement, light.counts, light.saturated, dark);
        spectrum.quantity = measurement.quantity;
        spectrum.values = std::move(values.values);
        spectrum.invalidBands = values.invalidBands;
    }
    spectrum.counts = spectrum.darkSubtracted ? SubtractDark(light.counts, dark) : std::move(light.counts);
    if (!measurement.reference) {
        spectrum.values = spectrum.counts;
    }
    spectrum.saturated = light.saturatedBands > 0;
    spectrum.saturatedBands = light.saturatedBands;
    spectrum.info = sensor_.Info();
    if (recentCaptures_.size() > 1) {
        const std::chrono::duration<double> span = recentCaptures_.back() - recentCaptures_.front();
        spectrum.capturesPerSecond =
            span.count() > 0 ? static_cast<double>(recentCaptures_.size() - 1) / span.count() : 0.0;
    }
    spectrum.sequence = ++sequence_;
    reconnecting_ = false;
    for (Sink* sink : sinks_) {
        sink->OnSpectrum(spectrum);
    }
}

std::optional<Engine::Clock::time_point> Engine::NextCaptureTurn() {
    if (!SleepUntil(nextCapture_)) {
        return std::nullopt;
    }
    const Clock::time_point start = Clock::now();
    nextCapture_ = start + pacing_.interval;
    return start;
}

Settings Engine::CurrentSettings() {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

Acquisition Engine::PacedMean(int shutter, int average, std::chrono::system_clock::time_point* startedAt) {
    bool first = true;
    return CaptureMean(sensor_, shutter, average, [&] {
        const std::optional<Clock::time_point> start = NextCaptureTurn();
        if (!start) {
            return false;
        }
        if (recentCaptures_.size() == kRateWindow) {
            recentCaptures_.erase(recentCaptures_.begin());
        }
        recentCaptures_.push_back(*start);
        if (first && startedAt != nullptr) {
            *startedAt = std::chrono::system_clock::now();
        }
        first = false;
        return true;
    });
}

bool Engine::Failed(const Failure& failure) {
    recentCaptures_.clear();
    const int result = failure.LibraryResult();
    {
        // Stop cancelled the call: not a failure. A hang-up cancels calls too.
        std::lock_guard<std::mutex> lock(mutex_);
        if (failure.Status() == kExitInterrupted) {
            failure_ = std::make_exception_ptr(failure);
        }
        if (stopping_ || failure.Status() == kExitInterrupted) {
            return false;
        }
    }
    // A port that failed, or a port found again whose sensor does not answer yet.
    if (search_ != nullptr && (failure.Status() == kExitPortError || reconnecting_ || disconnected_)) {
        Disconnect(failure.what());
        return true;
    }
    if (!pacing_.retry) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::make_exception_ptr(failure);
        return false;
    }
    // A sensor that went silent may come back as another one: identify again.
    const bool silent = result == KQ7_ERR_NO_REPLY;
    identified_ = identified_ && !silent;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // The failure's own words: the call, the library's reason, a port's hang-up.
        lastError_ = Stamped(failure.what());
        state_ = silent ? State::NoAnswer : State::Failing;
    }
    PublishStatus();
    SleepUntil(Clock::now() + pacing_.retryPause);
    return true;
}

bool Engine::SleepUntil(Clock::time_point until) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_until(lock, until, [this] { return stopping_; });
}

void Engine::SetState(State state) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == state) {
            return;
        }
        state_ = state;
    }
    PublishStatus();
}

void Engine::PublishStatus() {
    Status status;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status.state = settings_.paused && state_ == State::Capturing ? State::Paused : state_;
        status.lastError = lastError_;
        status.sensorSerial = serial_;
        status.settings = settings_;
        if (!dark_.counts.empty()) {
            status.darkShutter = darkShutter_;
        }
        if (reference_) {
            status.referenceShutter = reference_->shutter;
        }
    }
    for (Sink* sink : sinks_) {
        sink->OnStatus(status);
    }
}

}  // namespace kq7tool
