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

// The tick may move in steps of a scheduler tick (about 16 ms on Windows), so
// it is compared with steady_clock over a span of several such steps, and
// with the slack of one and a half steps.
TEST_F(SystemClockTest, TickIsMonotonicAndFollowsSleeps) {
    constexpr auto kSpan = std::chrono::milliseconds(40);
    constexpr uint64_t kLeastTickAdvance = 24;
    const auto start = std::chrono::steady_clock::now();
    const uint64_t first = TickMilliseconds();
    uint64_t previous = first;
    while (std::chrono::steady_clock::now() - start < kSpan) {
        SleepOneMillisecond();
        const uint64_t now = TickMilliseconds();
        ASSERT_GE(now, previous);
        previous = now;
    }
    EXPECT_GE(previous - first, kLeastTickAdvance);
}

TEST_F(SystemClockTest, SleepLastsAtLeastOneMillisecond) {
    const auto start = std::chrono::steady_clock::now();
    SleepOneMillisecond();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1));
}

}  // namespace
}  // namespace kq7
