/* SPDX-License-Identifier: MIT */
// A progress line on standard error while kq7 waits for the sensor, so that
// a silent sensor is not mistaken for a hung program.
#pragma once

#include <chrono>
#include <string>

namespace kq7tool {

// While one lives, TickWaitProgress (called by the host link's reads) shows
// "kq7: WHAT: N s, LIMIT" once the wait passes a second, updated every second; only when standard error is a terminal. The
// line is cleared when the wait ends.
class WaitProgress {
public:
    WaitProgress(std::string what, std::string limit);
    ~WaitProgress();
    WaitProgress(const WaitProgress&) = delete;
    WaitProgress& operator=(const WaitProgress&) = delete;

    void Tick();

private:
    std::string what_;
    std::string limit_;
    std::chrono::steady_clock::time_point start_;
    long shownSeconds_ = 0;
    bool toTerminal_;
};

void TickWaitProgress();

}  // namespace kq7tool
