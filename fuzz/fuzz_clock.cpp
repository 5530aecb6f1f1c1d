/* SPDX-License-Identifier: MIT */
#include "fuzz_clock.h"

#include "link/clock.h"

namespace kq7::fuzz {

namespace {

// Beyond 2^32 - 1 ms, the longest limit of a timed receive.
constexpr uint64_t kBeyondEveryLimitMs = uint64_t{1} << 33;

uint64_t now = 0;
int receivesBegun = 0;

void FuzzSleep() {
    ++receivesBegun;
    ++now;
}

uint64_t FuzzTick() { return now; }

const Clock kFuzzClock{FuzzSleep, FuzzTick};

}  // namespace

void InstallFuzzClock() {
    now = 0;
    receivesBegun = 0;
    InstallClock(&kFuzzClock);
}

void AdvanceClock(uint64_t ms) { now += ms; }

void PassEveryLimit() { now += kBeyondEveryLimitMs; }

int ReceivesBegun() { return receivesBegun; }

}  // namespace kq7::fuzz
