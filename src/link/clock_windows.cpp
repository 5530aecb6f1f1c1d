/* SPDX-License-Identifier: MIT */
#include <windows.h>

#include "link/clock.h"

namespace kq7 {

namespace {

// Not yet in every SDK's headers (MinGW-w64 10 lacks it); the value is
// Windows' own.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// Relative due times are negative, in units of 100 ns.
constexpr LONGLONG kOneMillisecondDueTime = -10000;

// Every receive starts with this pause. Sleep(1) lasts until the next
// scheduler tick, up to 15.6 ms unless some process has raised the system's
// timer resolution, which would make a capture up to fifteen times slower
// than on Linux. A high-resolution waitable timer (Windows 10 1803 and later)
// wakes after 1 ms whatever that resolution is, without changing it for the
// whole system as timeBeginPeriod would (and without the winmm.dll import).
// Older Windows refuses the flag: Sleep(1) is then the best there is.
void WindowsSleepOneMillisecond() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (timer == nullptr) {
        Sleep(1);
        return;
    }
    LARGE_INTEGER due;
    due.QuadPart = kOneMillisecondDueTime;
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(timer, INFINITE);
    } else {
        Sleep(1);
    }
    CloseHandle(timer);
}

uint64_t WindowsTickMilliseconds() { return GetTickCount64(); }

const Clock kWindowsClock{WindowsSleepOneMillisecond, WindowsTickMilliseconds};

}  // namespace

const Clock& SystemClock() { return kWindowsClock; }

}  // namespace kq7
