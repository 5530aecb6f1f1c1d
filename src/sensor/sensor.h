/* SPDX-License-Identifier: MIT */
// A sensor on one link: what its identification read, its last spectrum, and
// the shutter value it holds. Every operation returns KQ7_OK or a KQ7_ERR_
// code.
#pragma once

#include <cstdint>

#include "link/link.h"
#include "log/log.h"
#include "sensor/sensor_info.h"

namespace kq7 {

constexpr int32_t kMaxBands = 2048;
// A coefficient write sends all four, and at most what one request frame holds.
constexpr int kMinCoefficients = kCoefficientCount;
constexpr int kMaxCoefficients = 124;

class Sensor {
public:
    Sensor(Link& link, const Log& log) : link_(link), log_(log) {}
    Sensor(const Sensor&) = delete;
    Sensor& operator=(const Sensor&) = delete;

    // What the last identification read.
    const SensorInfo& Info() const { return info_; }
    // The last spectrum, as the sensor sent it: kMaxBands samples.
    const uint16_t* Samples() const { return samples_; }
    // The value the sensor acknowledged last, and whether it still holds it.
    int32_t CurrentShutter() const { return currentShutter_; }
    bool ShutterKnown() const { return shutterKnown_; }

    // Forgets everything read from the sensor, as a new sensor object would.
    void Reset();

    // Resets and identifies the sensor. Info() then holds what was read,
    // up to the first failure.
    int Initialize();

    // 0 closes the shutter, 1 opens it; other values are refused.
    int SetShutterState(int state);

    // Sets the shutter value unless the sensor is known to hold it, and
    // captures one spectrum into Samples(). A reply with fewer than
    // 2 x bandnumber payload bytes fails the capture. On failure Samples() is
    // unchanged.
    int Capture(int32_t shutter);

    // The largest of the first `count` samples, or -1 for none. `count` must
    // not exceed the samples at `data`.
    static int PeakValue(const uint16_t* data, int count);

    // Searches the shutter value at which the peak lies just below `percent`
    // of full scale and stores in `shutter` the value it ends on. KQ7_OK when
    // the peak landed in the window; KQ7_ERR_OUT_OF_RANGE at KQ7_SHUTTER_SEARCH_MIN,
    // _MAX or the probe limit; the capture's code when one failed (`shutter` untouched).
    int AutoExposure(int percent, int32_t& shutter);

    // Sends `count` coefficients, a0 first, to the sensor; KQ7_OK once
    // acknowledged. `count` must be kMinCoefficients to kMaxCoefficients.
    int WriteCoefficients(const double* coeffs, int count);

private:
    int ReadInfo(SensorInfo& setem);

    Link& link_;
    const Log& log_;
    SensorInfo info_;
    uint16_t samples_[kMaxBands] = {};
    int32_t currentShutter_ = 0;
    // False until a shutter command is acknowledged, and again after one that
    // was not: the sensor may hold any value then (from an earlier process, or
    // a command it took while its acknowledgement was lost).
    bool shutterKnown_ = false;
};

}  // namespace kq7
