/* SPDX-License-Identifier: MIT */
#include "kq7/device/wait_progress.h"

#include <utility>

#include "kq7/diagnostics.h"

namespace kq7tool {

WaitProgress::WaitProgress(std::string what)
    : what_(std::move(what)), start_(std::chrono::steady_clock::now()), toTerminal_(DiagnosticsOnTerminal()) {}

WaitProgress::~WaitProgress() {
    if (shownSeconds_ > 0) {
        ShowProgressLine("");  // cleared for what follows
    }
}

void WaitProgress::Tick() {
    if (!toTerminal_) {
        return;
    }
    const long seconds = static_cast<long>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_).count());
    if (seconds < 1 || seconds == shownSeconds_) {
        return;
    }
    shownSeconds_ = seconds;
    ShowProgressLine("kq7: " + what_ + ": " + std::to_string(seconds) + " s (Ctrl-C stops)");
}

}  // namespace kq7tool
