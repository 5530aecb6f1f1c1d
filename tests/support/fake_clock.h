/* SPDX-License-Identifier: MIT */
// A clock that only moves when told to: sleeping advances it by the slept
// time, and the scripted host advances it while the line is silent.
#pragma once

#include <cstdint>

namespace kq7::test {

class FakeClock {
public:
    // Installs the fake clock at time `start`; the destructor restores the
    // system clock.
    explicit FakeClock(uint64_t start = 1000);
    ~FakeClock();
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    static uint64_t Now();
    static void Advance(uint64_t ms);
    // From now on every reading of the tick advances the clock by `ms`
    // afterwards (0, the default, turns this off). Lets a receive reach its
    // time limit when no host read function is there to move the clock.
    static void SetTickStep(uint64_t ms);
    // How many 1 ms sleeps the library asked for.
    static int Sleeps();
};

}  // namespace kq7::test
