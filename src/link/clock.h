/* SPDX-License-Identifier: MIT */
// The library's only time sources: the 1 ms pause at the start of every
// receive and the millisecond tick that timed receives measure their limits
// with. Tests and benchmarks install a clock of their own.
#pragma once

#include <cstdint>

namespace kq7 {

struct Clock {
    void (*sleepOneMillisecond)();
    uint64_t (*tickMilliseconds)();  // monotonic
};

void SleepOneMillisecond();
uint64_t TickMilliseconds();

// Replaces the clock; nullptr restores the system clock.
void InstallClock(const Clock* clock);

// The operating system's clock (one implementation per platform).
const Clock& SystemClock();

}  // namespace kq7
