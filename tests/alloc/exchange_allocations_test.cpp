/* SPDX-License-Identifier: MIT */
// An exchange runs on its device's buffers only: no heap allocation from the
// request to the checked reply, whether the sensor answers or not. A device
// of the device interface allocates once, at kq7_open.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "counting_allocator.h"
#include "link/clock.h"
#include "api/device.h"
#include "link/link.h"
#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "support/instant_sensor.h"

namespace kq7 {
namespace {

// A clock that never sleeps and moves on 1 ms at every reading, so that the
// time limits of a silent sensor pass after a few thousand polls.
uint64_t racingNow = 0;
void NoSleep() {}
uint64_t RacingTick() { return ++racingNow; }
const Clock kRacingClock{NoSleep, RacingTick};

constexpr int32_t kShutter = 100;

class ExchangeAllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallClock(&kRacingClock);
        test::InstallInstantSensor();
        // Standard output gets its buffer at its first write: let that happen
        // before anything is counted.
        std::printf("console warmed up\n");
        std::cout << "console warmed up" << std::endl;
    }

    void TearDown() override { InstallClock(nullptr); }

    uint16_t spectrum[2048] = {};
    Link& link = TheBuiltInDevice().device.link;
};

int* volatile keptInt = nullptr;
void* volatile keptBlock = nullptr;

TEST(AllocationCounter, CountsOperatorNewAndTheCAllocator) {
    EXPECT_EQ(test::AllocationsDuring([] {
                  keptInt = new int(7);
                  delete keptInt;
              }),
              1u);
    if (test::CountsCAllocations()) {
        EXPECT_EQ(test::AllocationsDuring([] {
                      keptBlock = std::malloc(16);
                      std::free(keptBlock);
                  }),
                  1u);
    }
}

TEST_F(ExchangeAllocationTest, SpectrumReceiveAllocatesNothing) {
    ExchangeResult result;
    EXPECT_EQ(test::AllocationsDuring([&] { result = link.SendAcquire(kShutter); }), 0u);
    EXPECT_EQ(result.length, test::kInstantSpectrumPayload);
}

TEST_F(ExchangeAllocationTest, CaptureAtTheSameShutterAllocatesNothing) {
    ASSERT_EQ(KQ7SensorInit(), 1);
    ASSERT_EQ(KQ7GetData(spectrum, kShutter), test::kInstantBands);
    int bands = 0;
    EXPECT_EQ(test::AllocationsDuring([&] { bands = KQ7GetData(spectrum, kShutter); }), 0u);
    EXPECT_EQ(bands, test::kInstantBands);
    EXPECT_EQ(test::InstantSensorRequests(CMD_SET_SHUTTER), 1);
    EXPECT_EQ(test::InstantSensorRequests(CMD_GET_DATA), 2);
}

TEST_F(ExchangeAllocationTest, CaptureWithAShutterChangeAllocatesNothing) {
    ASSERT_EQ(KQ7SensorInit(), 1);
    int bands = 0;
    EXPECT_EQ(test::AllocationsDuring([&] { bands = KQ7GetData(spectrum, kShutter); }), 0u);
    EXPECT_EQ(bands, test::kInstantBands);
    EXPECT_EQ(test::InstantSensorRequests(CMD_SET_SHUTTER), 1);
}

TEST_F(ExchangeAllocationTest, RetriesAndWarningsAllocateNothing) {
    test::SetInstantSensorSilent(true);
    const uint8_t open = 0x01;
    ExchangeResult acquired;
    ExchangeResult commanded;
    EXPECT_EQ(test::AllocationsDuring([&] {
                  acquired = link.SendAcquire(kShutter);
                  commanded = link.SendCommand(CMD_SHUTTER_OPEN, &open, 1);
              }),
              0u);
    EXPECT_EQ(acquired.code, KQ7_ERR_NO_REPLY);
    EXPECT_EQ(commanded.code, KQ7_ERR_NO_REPLY);
    EXPECT_EQ(test::InstantSensorRequests(CMD_GET_DATA), 3);
    EXPECT_EQ(test::InstantSensorRequests(CMD_SHUTTER_OPEN), 6);
}

void KQ7_CALL CountLine(void* context, const char*) { ++*static_cast<int*>(context); }

// Every call of the device interface, with its lines going to a callback.
TEST_F(ExchangeAllocationTest, DeviceAllocatesOnlyWhenOpened) {
    kq7_device* device = nullptr;
    EXPECT_EQ(test::AllocationsDuring([&] { device = kq7_open(test::InstantSensorWrite, test::InstantSensorRead, nullptr); }),
              1u);
    ASSERT_NE(device, nullptr);
    int lines = 0;
    const double coeffs[4] = {0.0, 0.0, 0.5, 400.0};
    int32_t shutter = 0;
    SensorInfoC info;
    int results[6] = {};
    EXPECT_EQ(test::AllocationsDuring([&] {
                  kq7_set_log(device, CountLine, &lines);
                  results[0] = kq7_identify(device);
                  results[1] = kq7_get_info(device, &info);
                  results[2] = kq7_set_shutter_open(device, 1);
                  results[3] = kq7_capture(device, kShutter, spectrum, 2048);
                  results[4] = kq7_auto_exposure(device, 90, &shutter);
                  results[5] = kq7_write_coefficients(device, coeffs, 4);
              }),
              0u);
    EXPECT_EQ(results[0], KQ7_OK);
    EXPECT_EQ(results[3], test::kInstantBands);
    EXPECT_GT(lines, 5);
    kq7_close(device);
}

}  // namespace
}  // namespace kq7
