/* SPDX-License-Identifier: MIT */
// A clock for the fuzz targets that never waits: it moves only when a target
// moves it, and a target lets it jump past every time limit once its input
// is used up, so that each receive ends within a few polls.
#pragma once

#include <cstdint>

namespace kq7::fuzz {

// Installs the clock at time 0 and forgets earlier receives.
void InstallFuzzClock();

void AdvanceClock(uint64_t ms);

// Moves the clock beyond the longest time limit a receive can have.
void PassEveryLimit();

// Every receive begins with the 1 ms sleep: the number of receives begun
// since InstallFuzzClock.
int ReceivesBegun();

}  // namespace kq7::fuzz
