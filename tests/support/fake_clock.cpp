/* SPDX-License-Identifier: MIT */
#include "support/fake_clock.h"

#include <atomic>

#include "link/clock.h"

namespace kq7::test {

namespace {

// Atomic: hosts on several threads may move the clock.
std::atomic<uint64_t> now{0};
std::atomic<int> sleeps{0};
std::atomic<uint64_t> tickStep{0};

void FakeSleep() {
    ++sleeps;
    ++now;
}

uint64_t FakeTick() { return now.fetch_add(tickStep); }

const Clock kFakeClock{FakeSleep, FakeTick};

}  // namespace

FakeClock::FakeClock(uint64_t start) {
    now = start;
    sleeps = 0;
    tickStep = 0;
    InstallClock(&kFakeClock);
}

FakeClock::~FakeClock() { InstallClock(nullptr); }

uint64_t FakeClock::Now() { return now; }

void FakeClock::Advance(uint64_t ms) { now += ms; }

void FakeClock::SetTickStep(uint64_t ms) { tickStep = ms; }

int FakeClock::Sleeps() { return sleeps; }

}  // namespace kq7::test
