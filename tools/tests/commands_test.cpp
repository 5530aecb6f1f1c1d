/* SPDX-License-Identifier: MIT */
// kq7's commands against the in-process virtual sensor.
#include <gtest/gtest.h>

#include "kq7/commands/capture.h"
#include "kq7/failure.h"
#include "kq7/port/virtual_sensor_link.h"
#include "frame_format.h"
#include "support/console_capture.h"
#include "support/fake_clock.h"

namespace kq7tool {
namespace {

// Spectrum requests made while the shutter is closed never reach the sensor.
class LosingDarkCaptures : public VirtualSensorLink {
public:
    LosingDarkCaptures() : VirtualSensorLink(kq7sim::SimConfig{}) {}
    int64_t Write(const uint8_t* data, int64_t length) override {
        if (length > static_cast<int64_t>(kq7::kCommandOffset) && data[kq7::kCommandOffset] == kq7::CMD_GET_DATA &&
            !Sensor().ShutterOpen()) {
            return length;
        }
        return VirtualSensorLink::Write(data, length);
    }
};

TEST(RunCaptureTest, FailedDarkCaptureLeavesTheShutterOpen) {
    kq7::test::FakeClock clock;
    // Every reading of the clock moves it, so the unanswered captures time
    // out at once.
    kq7::test::FakeClock::SetTickStep(50);
    LosingDarkCaptures link;
    Sensor sensor(link, {"sim", 0, true}, false);
    kq7::test::ConsoleCapture console;

    CaptureOptions options;
    options.shutter = 100;
    options.dark = true;
    EXPECT_THROW(RunCapture(sensor, options), Failure);
    EXPECT_TRUE(link.Sensor().ShutterOpen());
}

}  // namespace
}  // namespace kq7tool
