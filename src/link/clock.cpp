/* SPDX-License-Identifier: MIT */
#include "link/clock.h"

namespace kq7 {

namespace {
const Clock* activeClock = nullptr;

const Clock& Active() { return activeClock != nullptr ? *activeClock : SystemClock(); }
}  // namespace

void SleepOneMillisecond() { Active().sleepOneMillisecond(); }

uint64_t TickMilliseconds() { return Active().tickMilliseconds(); }

void InstallClock(const Clock* clock) { activeClock = clock; }

}  // namespace kq7
