/* SPDX-License-Identifier: MIT */
// The one thread that drives the sensor for a long-running command: it
// identifies the sensor, captures spectra one after another and hands them
// to its sinks, and carries out requests (settings, a dark spectrum, an
// exposure search) between two spectra. Stop ends it at once, cancelling the
// call that runs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kq7/acquisition/sink.h"
#include "kq7/acquisition/state.h"
#include "kq7/device/sensor.h"
#include "kq7/failure.h"
#include "kq7/measure/reference_record.h"
#include "kq7/spectrum.h"

namespace kq7tool {

struct Pacing {
    // From the start of one capture to the next, at least.
    std::chrono::milliseconds interval{0};
    // true: a failure is shown (NoAnswer, Failing) and tried again after
    // `retryPause`; false: the first failure ends the run.
    bool retry = false;
    std::chrono::milliseconds retryPause{0};
    // Spectra handed on before the run ends; 0: until Stop.
    uint64_t count = 0;
    // true: when the port fails, the run waits for the same sensor to come
    // back (the sensor's SensorSearch looks about once a second) and goes
    // on; false: a port failure is a failure like the others.
    bool reconnect = false;
};

class Engine {
public:
    // `sensor` stays the caller's; the engine's thread alone calls it from
    // Start to Stop.
    Engine(Sensor& sensor, Settings settings, Pacing pacing);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Before Start; `sink` must outlive the engine.
    void AddSink(Sink& sink);
    void Start();
    // Cancels the call that runs on the sensor and waits for the thread.
    void Stop();
    // Waits up to `timeout` for the run to end by itself; true once it has.
    // Throws the Failure that ended it.
    bool WaitFor(std::chrono::milliseconds timeout);

    // Requests, carried out before the next spectrum.
    void Change(const SettingsChange& change);
    void TakeDark();
    void SearchExposure(int percent);
    // A reference and its dark at the settings of the moment.
    void TakeReference();
    // The reference to measure against, from a file (checked by the caller).
    void UseReference(ReferenceRecord reference);

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void Identify();
    // The port failed: let go of it and wait for the sensor.
    void Disconnect(const std::string& reason);
    // One look for the sensor, when it is time for one.
    void LookForSensor();
    void SearchExposureNow(int percent);
    void TakeDarkNow();
    void TakeReferenceNow();
    void CaptureAndDeliver();
    Acquisition PacedMean(int shutter, int average, std::chrono::system_clock::time_point* startedAt = nullptr);
    // Waits for the next capture's turn and books the one after it; when it
    // began, or nothing when the run stops meanwhile.
    std::optional<Clock::time_point> NextCaptureTurn();
    Settings CurrentSettings();
    // false when the run ends with `failure`.
    bool Failed(const Failure& failure);
    // Waits until `until` or a stop; false on a stop.
    bool SleepUntil(Clock::time_point until);
    void SetState(State state);
    void PublishStatus();

    Sensor& sensor_;
    SensorSearch* const search_;  // nullptr: the run does not reconnect
    const Pacing pacing_;
    std::vector<Sink*> sinks_;
    std::thread thread_;

    mutable std::mutex mutex_;  // guards what the requests reach
    std::condition_variable wake_;
    bool stopping_ = false;
    bool running_ = false;
    std::exception_ptr failure_;  // what ended the run
    Settings settings_;
    bool darkRequested_ = false;
    std::optional<int> exposurePercent_;
    State state_ = State::Identifying;
    std::string serial_;  // of the sensor first identified: the only one this run takes
    std::string lastError_;
    Acquisition dark_;
    int darkShutter_ = 0;
    bool referenceRequested_ = false;
    std::optional<ReferenceRecord> reference_;

    // The thread's own.
    bool identified_ = false;
    bool disconnected_ = false;  // no port: searching
    bool reconnecting_ = false;  // from a disconnection to the next spectrum
    Clock::time_point nextSearch_{};
    uint64_t sequence_ = 0;
    Clock::time_point nextCapture_{};
    std::vector<Clock::time_point> recentCaptures_;  // the last few, for the rate
};

}  // namespace kq7tool
