/* SPDX-License-Identifier: MIT */
#include <windows.h>

#include "link/clock.h"

namespace kq7 {

namespace {

void WindowsSleepOneMillisecond() { Sleep(1); }

uint64_t WindowsTickMilliseconds() { return GetTickCount64(); }

const Clock kWindowsClock{WindowsSleepOneMillisecond, WindowsTickMilliseconds};

}  // namespace

const Clock& SystemClock() { return kWindowsClock; }

}  // namespace kq7
