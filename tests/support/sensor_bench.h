/* SPDX-License-Identifier: MIT */
// A bench for the sensor exports: fake clock, scripted sensor side, and a
// built-in device that every test starts and ends without a sensor on.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "api/device.h"
#include "sensor/sensor.h"
#include "support/fake_clock.h"
#include "support/scripted_host.h"

namespace kq7::test {

using Coefficients = std::array<double, 4>;

// The sensor the seven exports work on; null before the first KQ7SensorInit.
inline Sensor* BuiltInSensor() {
    return TheBuiltInDevice().sensorCreated ? &TheBuiltInDevice().device.sensor : nullptr;
}

// The built-in device's link.
inline Link& BuiltInLink() { return TheBuiltInDevice().device.link; }

// a0 = 0, a1 = 0, a2 = 0.5, a3 = 399.9: bands 1, 2, 3 at 400.4, 400.9, 401.4.
constexpr Coefficients kLinearCoefficients{0.0, 0.0, 0.5, 399.9};

// Payload encodings as the sensor sends them, written out independently of
// the library's own helpers.
Bytes BigEndianInt32(int32_t value);
Bytes BigEndianDouble(double value);
Bytes CoefficientPayload(const Coefficients& a);
// Spectrum samples, each low byte first.
Bytes SpectrumPayload(const std::vector<uint16_t>& samples);
Bytes TextPayload(const std::string& text);

// Queues the three replies an identification asks for, in its order.
void QueueIdentification(ScriptedHost& host, const std::string& ident = "ABC-123", int32_t bands = 512,
                         const Coefficients& coeffs = kLinearCoefficients);

// The lines of `console` that begin with `prefix`, each without its line end.
std::vector<std::string> LinesStartingWith(const std::string& console, const std::string& prefix);

class SensorBench : public ::testing::Test {
protected:
    SensorBench() { ReleaseSensor(); }
    ~SensorBench() override { ReleaseSensor(); }

    static void ReleaseSensor() {
        TheBuiltInDevice().sensorCreated = false;
        TheBuiltInDevice().device.sensor.Reset();
    }

    // Queues the three identification replies and runs KQ7SensorInit with its
    // console lines discarded; returns its result.
    int Identify(const std::string& ident = "ABC-123", int32_t bands = 512,
                 const Coefficients& coeffs = kLinearCoefficients);

    // The frames written since the first `first` writes.
    std::vector<Bytes> WritesSince(size_t first) const;

    FakeClock clock;
    ScriptedHost host;
};

}  // namespace kq7::test

namespace kq7 {

// Exchange results compare and print whole in the link's tests.
inline bool operator==(const ExchangeResult& a, const ExchangeResult& b) {
    return a.code == b.code && a.length == b.length;
}
inline void PrintTo(const ExchangeResult& r, std::ostream* os) { *os << "{" << r.code << ", " << r.length << "}"; }
inline ExchangeResult Received(int32_t length) { return {KQ7_OK, length}; }
inline ExchangeResult Failed(int code) { return {code}; }

}  // namespace kq7
