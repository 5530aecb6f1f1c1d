/* SPDX-License-Identifier: MIT */
#include "link/clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kq7 {
namespace {

// The only tests on the real clock: short, and bounded by what they wait for.
class SystemClockTest : public ::testing::Test {
protected:
    void SetUp() override { InstallClock(nullptr); }
};

TEST_F(SystemClockTest, TickIsMonotonicAndFollowsSleeps) {
    const uint64_t first = TickMilliseconds();
    uint64_t previous = first;
    for (int i = 0; i < 5; ++i) {
        SleepOneMillisecond();
        const uint64_t now = TickMilliseconds();
        EXPECT_GE(now, previous);
        previous = now;
    }
    EXPECT_GE(previous - first, 4u);  // five 1 ms sleeps, ticks cut to whole ms
}

TEST_F(SystemClockTest, SleepLastsAtLeastOneMillisecond) {
    const auto start = std::chrono::steady_clock::now();
    SleepOneMillisecond();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1));
}

}  // namespace
}  // namespace kq7
