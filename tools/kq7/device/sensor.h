/* SPDX-License-Identifier: MIT */
// The sensor as kq7's commands see it: each call talks to the sensor and
// throws Failure, with the reason and a hint, when it goes wrong.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kq7/device/sensor_search.h"
#include "kq7/device/wait_progress.h"
#include "kq7/failure.h"
#include "kq7/port/byte_link.h"
#include "nerb_kq7lib.hpp"

namespace kq7tool {

// Where the sensor is, as the messages and the metadata name it.
struct SensorPlace {
    std::string port;  // the port's path, or "sim"
    int baud = 0;
    bool virtualSensor = false;
};

// Why an exposure search ended outside its window: "the exposure search ran
// out of range: it ended at shutter value 12 without a peak at 90 % of full
// scale (too bright even at the shortest shutter value)".
std::string OutOfRangeText(const kq7::Exposure& exposure, int percent);

// One sensor on `bytes`, which must outlive it. It keeps the progress line
// of a wait going, ends a call at once when the link fails or Ctrl-C is
// pressed, and says why a call failed. With `showLog` the library's lines go
// to standard error. One thread at a time calls it.
class Sensor {
public:
    Sensor(ByteLink& bytes, SensorPlace place, bool showLog);
    ~Sensor();
    Sensor(const Sensor&) = delete;
    Sensor& operator=(const Sensor&) = delete;

    // The link functions' side: what the library writes and reads.
    int64_t Write(const uint8_t* data, int64_t length);
    int64_t Read(uint8_t* dest, int64_t maxLength);

    const SensorPlace& Place() const { return place_; }
    // How the sensor is found again once its port fails; nullptr when it
    // cannot be (the virtual sensor).
    SensorSearch* Search() const { return search_; }
    void SetSearch(SensorSearch* search) { search_ = search; }

    // Ends the call that runs now, from any thread.
    void Cancel() { device_.cancel(); }
    // Whether waits show a progress line (on a terminal); they do by default.
    void ShowWaits(bool show) { showWaits_ = show; }

    // Identifies the sensor; the record stays available through Info().
    const SensorInfoC& Identify();
    const SensorInfoC& Info() const { return info_; }

    void SetShutter(bool open);

    // One spectrum at `shutter`, a sample per band.
    std::vector<uint16_t> Capture(int shutter);

    kq7::Exposure AutoExposure(int percent);

    void WriteCoefficients(const std::array<double, 4>& coefficients);

private:
    std::string NoAnswerHint() const;
    // The link failed during the call that runs: keeps why, for its message.
    void NoteLinkFailure();
    // Ctrl-C ends a command before its next capture.
    void StopIfInterrupted() const;
    // Calls `call` on the device; turns its kq7::Error into a Failure with
    // `status` (or the one the code calls for) and "`what`: reason".
    template <typename Call>
    auto Run(Call call, ExitStatus status, const std::string& what);

    ByteLink& bytes_;
    SensorPlace place_;
    SensorSearch* search_ = nullptr;
    kq7::Device device_;
    SensorInfoC info_{};
    bool showWaits_ = true;
    std::unique_ptr<WaitProgress> progress_;  // the wait that runs, ticked by Read
    std::string linkFailure_;  // why the link failed in the call that runs; "" while it works
};

}  // namespace kq7tool
