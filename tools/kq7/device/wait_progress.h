/* SPDX-License-Identifier: MIT */
// A progress line on standard error while kq7 waits for the sensor, so that
// a silent sensor is not mistaken for a hung program.
#pragma once

#include <chrono>
#include <string>

namespace kq7tool {

// "kq7: WHAT: N s (Ctrl-C stops)" once a wait passes a second, updated every
// second by Tick (which the sensor's reads call); only when standard error is
// a terminal. The line is cleared when the wait ends.
class WaitProgress {
public:
    explicit WaitProgress(std::string what);
    ~WaitProgress();
    WaitProgress(const WaitProgress&) = delete;
    WaitProgress& operator=(const WaitProgress&) = delete;

    void Tick();

private:
    std::string what_;
    std::chrono::steady_clock::time_point start_;
    long shownSeconds_ = 0;
    bool toTerminal_;
};

}  // namespace kq7tool
