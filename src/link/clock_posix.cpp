/* SPDX-License-Identifier: MIT */
#include <cerrno>
#include <ctime>

#include "link/clock.h"

namespace kq7 {

namespace {

void PosixSleepOneMillisecond() {
    timespec remaining{0, 1000000L};
    // A signal cuts the sleep short: sleep what is left.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

uint64_t PosixTickMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

const Clock kPosixClock{PosixSleepOneMillisecond, PosixTickMilliseconds};

}  // namespace

const Clock& SystemClock() { return kPosixClock; }

}  // namespace kq7
