/* SPDX-License-Identifier: MIT */
// An exchange runs on static buffers only: no heap allocation from the
// request to the checked reply, whether the sensor answers or not.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "counting_allocator.h"
#include "link/clock.h"
#include "link/exchanges.h"
#include "link/frame_format.h"
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
    int64_t result = 0;
    EXPECT_EQ(test::AllocationsDuring([&] { result = SendAcquire(kShutter); }), 0u);
    EXPECT_EQ(result, test::kInstantSpectrumPayload);
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
    int64_t acquired = 0;
    int64_t commanded = 0;
    EXPECT_EQ(test::AllocationsDuring([&] {
                  acquired = SendAcquire(kShutter);
                  commanded = SendCommand(CMD_SHUTTER_OPEN, &open, 1);
              }),
              0u);
    EXPECT_EQ(acquired, NO_REPLY);
    EXPECT_EQ(commanded, NO_REPLY);
    EXPECT_EQ(test::InstantSensorRequests(CMD_GET_DATA), 3);
    EXPECT_EQ(test::InstantSensorRequests(CMD_SHUTTER_OPEN), 6);
}

}  // namespace
}  // namespace kq7
