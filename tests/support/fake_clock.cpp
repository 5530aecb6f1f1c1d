/* SPDX-License-Identifier: MIT */
#include "support/fake_clock.h"

#include "link/clock.h"

namespace kq7::test {

namespace {

uint64_t now = 0;
int sleeps = 0;
uint64_t tickStep = 0;

void FakeSleep() {
    ++sleeps;
    ++now;
}

uint64_t FakeTick() {
    const uint64_t reading = now;
    now += tickStep;
    return reading;
}

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
