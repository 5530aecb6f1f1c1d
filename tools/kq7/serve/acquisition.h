/* SPDX-License-Identifier: MIT */
// The one thread that owns the device: it identifies the sensor, captures
// spectra one after another and publishes them, and carries out what the
// page asks for between two spectra. When the sensor stops answering it says
// so and tries again after a pause.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kq7/serve/acquisition_state.h"
#include "kq7/serve/broadcast.h"
#include "nerb_kq7lib.h"

namespace kq7serve {

class Acquisition {
public:
    // `device` stays the caller's; it must outlive the acquisition.
    Acquisition(kq7_device* device, Broadcast& broadcast);
    ~Acquisition();
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;

    void Start();
    // Cancels the call that runs on the device and waits for the thread.
    void Stop();

    // Requests from the page, carried out before the next spectrum.
    void Change(const SettingsChange& change);
    void TakeDark();
    void SearchExposure(int percent);

    // The spectrum on the page; nullopt before the first.
    std::optional<ShownSpectrum> Shown() const;

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    bool Identify();
    void SearchExposureNow(int percent);
    void TakeDarkNow();
    void CaptureAndPublish();
    // The mean of `average` captures at `shutter`; KQ7_OK or the first error.
    int CaptureMean(int shutter, int average, std::vector<double>& mean, bool& saturated);
    void Failed(const std::string& what, int result);
    // Waits until `until` or a stop; false on a stop.
    bool SleepUntil(Clock::time_point until);
    void SetState(State state);
    void PublishStatus();

    kq7_device* const device_;
    Broadcast& broadcast_;
    std::thread thread_;
    std::atomic<bool> running_{false};

    mutable std::mutex mutex_;  // guards what the page's requests reach
    std::condition_variable wake_;
    bool stopping_ = false;
    Settings settings_;
    bool darkRequested_ = false;
    std::optional<int> exposurePercent_;
    State state_ = State::Identifying;
    std::string lastError_;
    Dark dark_;
    std::optional<ShownSpectrum> shown_;

    // The thread's own.
    bool identified_ = false;
    SensorInfoC info_{};
    std::vector<double> wavelengthsNm_;
    uint64_t sequence_ = 0;
    Clock::time_point nextCapture_{};
    std::vector<Clock::time_point> recentCaptures_;  // the last kRateWindow
};

}  // namespace kq7serve
