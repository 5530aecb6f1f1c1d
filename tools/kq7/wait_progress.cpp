/* SPDX-License-Identifier: MIT */
#include "kq7/wait_progress.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace kq7tool {

namespace {

WaitProgress* g_current = nullptr;

}  // namespace

WaitProgress::WaitProgress(std::string what, std::string limit)
    : what_(std::move(what)), limit_(std::move(limit)), start_(std::chrono::steady_clock::now()),
      toTerminal_(isatty(STDERR_FILENO) == 1) {
    g_current = this;
}

WaitProgress::~WaitProgress() {
    g_current = nullptr;
    if (shownSeconds_ > 0) {
        std::fputs("\r\033[K", stderr);  // clear the line for what follows
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
    std::fprintf(stderr, "\r\033[Kkq7: %s: %ld s, %s", what_.c_str(), seconds, limit_.c_str());
    std::fflush(stderr);
}

void TickWaitProgress() {
    if (g_current != nullptr) {
        g_current->Tick();
    }
}

}  // namespace kq7tool
