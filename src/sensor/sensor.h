/* SPDX-License-Identifier: MIT */
// The one device object behind the exports.
#pragma once

#include <cstdint>

#include "sensor/sensor_info.h"

namespace kq7 {

constexpr int32_t kMaxBands = 2048;
// A coefficient write sends all four, and at most what one request frame holds.
constexpr int kMinCoefficients = kCoefficientCount;
constexpr int kMaxCoefficients = 124;

class Sensor {
public:
    SensorInfo info;
    uint16_t samples[kMaxBands] = {};  // the last spectrum, as the sensor sent it
    int32_t currentShutter = 0;        // the value the sensor acknowledged last
    // False until a shutter command is acknowledged, and again after one that
    // was not: the sensor may hold any value then (from an earlier process, or
    // a command it took while its acknowledgement was lost).
    bool shutterKnown = false;
    const uint8_t* rxData = nullptr;   // where the exchanges leave a reply's payload

    // Points rxData at the receive buffer and identifies the sensor. Returns
    // true when identification text, band count and coefficients were all
    // read and valid; `info` then holds them, else what was read before the
    // failure.
    bool Initialize();

    // Fills `setem` from the three identification queries, stopping at the
    // first that fails. Returns true when all three succeeded.
    bool ReadInfo(SensorInfo& setem);

    // 0 closes the shutter, 1 opens it, other values send nothing. The
    // library keeps no record of the shutter state.
    void SetShutterState(int state);

    // Sets the shutter value unless the sensor is known to hold it, and
    // captures one spectrum into `samples`. A reply with fewer than
    // 2 x bandnumber payload bytes fails the capture. On failure `samples` is
    // unchanged.
    bool Capture(int32_t shutter);

    // The largest of the first `count` samples, or -1 for none. `count` must
    // not exceed the samples at `data`.
    static int PeakValue(const uint16_t* data, int count);

    // Searches the shutter value at which the peak lies just below `percent`
    // of full scale: 12 to 10000, or 0 when a capture failed.
    int AutoExposure(int percent);

    // Sends `count` coefficients, a0 first, to the sensor. Returns true when
    // the sensor acknowledged. `count` must be kMinCoefficients to
    // kMaxCoefficients.
    bool WriteCoefficients(const double* coeffs, int count);
};

// The sensor that the exports work on; null until the first KQ7SensorInit.
extern Sensor* g_sensor;

}  // namespace kq7
