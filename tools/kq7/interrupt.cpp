/* SPDX-License-Identifier: MIT */
#include "kq7/interrupt.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kq7tool {

namespace {

// Waits are cut into steps this long to notice Ctrl-C.
constexpr std::chrono::milliseconds kPauseStep{20};

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void CatchInterrupt() {
    struct sigaction action{};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

void PauseUnlessInterrupted(double seconds) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    while (!Interrupted()) {
        const auto left = end - steady_clock::now();
        if (left <= steady_clock::duration::zero()) {
            return;
        }
        std::this_thread::sleep_for(std::min<steady_clock::duration>(left, kPauseStep));
    }
}

}  // namespace kq7tool
