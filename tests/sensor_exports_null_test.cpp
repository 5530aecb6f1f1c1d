/* SPDX-License-Identifier: MIT */
// Every export before the first KQ7SensorInit.
#include <gtest/gtest.h>

#include <vector>

#include "nerb_kq7lib.h"
#include "sensor/sensor.h"
#include "support/console_capture.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

class NullSensorTest : public test::SensorBench {
protected:
    void TearDown() override {
        EXPECT_EQ(test::BuiltInSensor(), nullptr);
        EXPECT_TRUE(host.Writes().empty());
        EXPECT_EQ(console.Take(), "");
    }

    test::ConsoleCapture console;
};

TEST_F(NullSensorTest, SensorInfoIsAllZero) {
    const SensorInfoC record = KQ7Get_SensorInfo();
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof record), std::vector<uint8_t>(228, 0x00));
}

TEST_F(NullSensorTest, ShutterSendsNothing) {
    KQ7SetShutterOpen(0);
    KQ7SetShutterOpen(1);
}

TEST_F(NullSensorTest, GetDataReturns0AndLeavesTheBufferUntouched) {
    std::vector<uint16_t> buffer(2048, 0xBEEF);
    EXPECT_EQ(KQ7GetData(buffer.data(), 100), 0);
    EXPECT_EQ(buffer, std::vector<uint16_t>(2048, 0xBEEF));
}

TEST_F(NullSensorTest, AutoExposureReturns0) { EXPECT_EQ(KQ7OptSnenser(90), 0); }

TEST_F(NullSensorTest, CoefficientWriteSendsNothingAndReturns0) {
    const double coeffs[4] = {0.0, 0.0, 0.5, 399.9};
    EXPECT_EQ(KQ7SetWeaveLenthCoeff(coeffs, 4), 0);
}

}  // namespace
}  // namespace kq7
