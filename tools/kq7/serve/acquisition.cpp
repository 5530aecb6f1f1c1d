/* SPDX-License-Identifier: MIT */
#include "kq7/serve/acquisition.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "kq7/serve/messages.h"
#include "kq7/serve/serve_limits.h"
#include "kq7/spectrum.h"

namespace kq7serve {

namespace {

constexpr int kShutterClosed = 0;
constexpr int kShutterOpen = 1;
constexpr std::chrono::milliseconds kCancelRepeat{20};

// "14:03:27 capture: no reply": the page shows when the last error came.
std::string Stamped(const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    return std::string(clock) + " " + text;
}

}  // namespace

Acquisition::Acquisition(kq7_device* device, Broadcast& broadcast) : device_(device), broadcast_(broadcast) {}

Acquisition::~Acquisition() { Stop(); }

void Acquisition::Start() {
    running_ = true;
    PublishStatus();
    thread_ = std::thread([this] { Run(); });
}

void Acquisition::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // A call may begin just after a cancel: cancel again until the thread ends.
    while (running_) {
        kq7_cancel(device_);
        std::this_thread::sleep_for(kCancelRepeat);
    }
    thread_.join();
}

void Acquisition::Change(const SettingsChange& change) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_.shutter = change.shutter.value_or(settings_.shutter);
        settings_.average = change.average.value_or(settings_.average);
        settings_.subtractDark = change.subtractDark.value_or(settings_.subtractDark);
        settings_.paused = change.paused.value_or(settings_.paused);
    }
    wake_.notify_all();
    PublishStatus();
}

void Acquisition::TakeDark() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        darkRequested_ = true;
    }
    wake_.notify_all();
}

void Acquisition::SearchExposure(int percent) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exposurePercent_ = percent;
    }
    wake_.notify_all();
}

std::optional<ShownSpectrum> Acquisition::Shown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

void Acquisition::Run() {
    for (;;) {
        bool dark = false;
        std::optional<int> percent;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Paused, only the page's requests wake the thread.
            wake_.wait(lock, [this] {
                return stopping_ || !identified_ || !settings_.paused || darkRequested_ || exposurePercent_;
            });
            if (stopping_) {
                break;
            }
            dark = std::exchange(darkRequested_, false);
            percent = std::exchange(exposurePercent_, std::nullopt);
        }
        if (!identified_ && !Identify()) {
            continue;
        }
        if (percent) {
            SearchExposureNow(*percent);
        } else if (dark) {
            TakeDarkNow();
        } else {
            CaptureAndPublish();
        }
    }
    running_ = false;
}

bool Acquisition::Identify() {
    bool retrying = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        retrying = state_ == State::NoAnswer;
    }
    // While a silent sensor is retried, the page keeps saying that it is.
    if (!retrying) {
        SetState(State::Identifying);
    }
    int result = kq7_identify(device_);
    if (result == KQ7_OK) {
        result = kq7_get_info(device_, &info_);
    }
    if (result != KQ7_OK) {
        Failed("identification", result);
        return false;
    }
    identified_ = true;
    wavelengthsNm_ = kq7tool::Wavelengths(info_);
    {
        // Another sensor may have come up: its dark is unknown.
        std::lock_guard<std::mutex> lock(mutex_);
        dark_ = Dark{};
    }
    broadcast_.Publish(Topic::Sensor, SensorMessage(info_, wavelengthsNm_));
    return true;
}

void Acquisition::SearchExposureNow(int percent) {
    SetState(State::SearchingExposure);
    int32_t shutter = 0;
    const int result = kq7_auto_exposure(device_, percent, &shutter);
    if (result != KQ7_OK && result != KQ7_ERR_OUT_OF_RANGE) {
        Failed("automatic exposure", result);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_.shutter = std::clamp<int>(shutter, kMinShutter, kMaxShutter);
        if (result == KQ7_ERR_OUT_OF_RANGE) {
            lastError_ = Stamped("automatic exposure stopped at shutter value " + std::to_string(shutter) +
                                 " without reaching " + std::to_string(percent) + " %");
        }
    }
    SetState(State::Capturing);
}

void Acquisition::TakeDarkNow() {
    SetState(State::TakingDark);
    Settings settings;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings = settings_;
    }
    int result = kq7_set_shutter_open(device_, kShutterClosed);
    std::vector<double> counts;
    bool saturated = false;
    if (result == KQ7_OK) {
        result = CaptureMean(settings.shutter, settings.average, counts, saturated);
        // A shutter left closed would make every later spectrum dark.
        const int reopened = kq7_set_shutter_open(device_, kShutterOpen);
        result = result == KQ7_OK ? reopened : result;
    }
    if (result != KQ7_OK) {
        Failed("dark spectrum", result);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dark_ = Dark{counts, settings.shutter};
        settings_.subtractDark = true;
    }
    SetState(State::Capturing);
}

void Acquisition::CaptureAndPublish() {
    ShownSpectrum spectrum;
    Dark dark;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        spectrum.shutter = settings_.shutter;
        spectrum.average = settings_.average;
        spectrum.darkSubtracted = settings_.subtractDark && !dark_.counts.empty();
        if (spectrum.darkSubtracted) {
            dark = dark_;
        }
    }
    SetState(State::Capturing);
    bool saturated = false;
    const int result = CaptureMean(spectrum.shutter, spectrum.average, spectrum.counts, saturated);
    if (result != KQ7_OK) {
        Failed("capture", result);
        return;
    }
    if (spectrum.darkSubtracted) {
        spectrum.counts = kq7tool::SubtractDark(spectrum.counts, dark.counts);
    }
    spectrum.info = info_;
    spectrum.capturedAt = std::chrono::system_clock::now();
    double rate = 0;
    if (recentCaptures_.size() > 1) {
        const std::chrono::duration<double> span = recentCaptures_.back() - recentCaptures_.front();
        rate = span.count() > 0 ? static_cast<double>(recentCaptures_.size() - 1) / span.count() : 0.0;
    }
    broadcast_.Publish(Topic::Spectrum, SpectrumMessage(++sequence_, spectrum, wavelengthsNm_, saturated, rate));
    std::lock_guard<std::mutex> lock(mutex_);
    shown_ = std::move(spectrum);
}

int Acquisition::CaptureMean(int shutter, int average, std::vector<double>& mean, bool& saturated) {
    const size_t bands = static_cast<size_t>(std::max(info_.bandnumber, 0));
    std::vector<uint16_t> samples(bands);
    kq7tool::CaptureSum sum;
    for (int i = 0; i < average; ++i) {
        if (!SleepUntil(nextCapture_)) {
            return KQ7_ERR_CANCELLED;
        }
        const Clock::time_point start = Clock::now();
        nextCapture_ = start + kMinCaptureInterval;
        const int result = kq7_capture(device_, shutter, samples.data(), static_cast<int32_t>(samples.size()));
        if (result < 0) {
            return result;
        }
        if (recentCaptures_.size() == kRateWindow) {
            recentCaptures_.erase(recentCaptures_.begin());
        }
        recentCaptures_.push_back(start);
        sum.Add(samples, info_.maxValue);
    }
    kq7tool::Acquisition result = sum.Mean();
    mean = std::move(result.counts);
    saturated = result.saturatedBands > 0;
    return KQ7_OK;
}

void Acquisition::Failed(const std::string& what, int result) {
    recentCaptures_.clear();
    if (result == KQ7_ERR_CANCELLED) {
        return;
    }
    // A sensor that went silent may come back as another one: identify again.
    const bool silent = result == KQ7_ERR_NO_REPLY;
    identified_ = identified_ && !silent;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastError_ = Stamped(what + ": " + kq7_strerror(result));
        state_ = silent ? State::NoAnswer : State::Failing;
    }
    PublishStatus();
    SleepUntil(Clock::now() + kRetryPause);
}

bool Acquisition::SleepUntil(Clock::time_point until) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_until(lock, until, [this] { return stopping_; });
}

void Acquisition::SetState(State state) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == state) {
            return;
        }
        state_ = state;
    }
    PublishStatus();
}

void Acquisition::PublishStatus() {
    StatusReport report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        report.state = settings_.paused && state_ == State::Capturing ? State::Paused : state_;
        report.lastError = lastError_;
        report.settings = settings_;
        if (!dark_.counts.empty()) {
            report.darkShutter = dark_.shutter;
        }
    }
    broadcast_.Publish(Topic::Status, StatusMessage(report));
}

}  // namespace kq7serve
