/* SPDX-License-Identifier: MIT */
#include "kq7/interrupt.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace kq7tool {

namespace {

// Waits are cut into steps this long to notice Ctrl-C.
constexpr std::chrono::milliseconds kPauseStep{20};

volatile sig_atomic_t g_interrupted = 0;
// Lock-free, so that the handler may read it.
std::atomic<kq7_device*> g_device{nullptr};

void OnInterrupt(int) {
    g_interrupted = 1;
    kq7_device* device = g_device.load();
    if (device != nullptr) {
        kq7_cancel(device);
    }
}

}  // namespace

void CatchInterrupt() {
#if defined(_WIN32)
    // The C runtime calls the handler on a thread of its own, and puts the
    // default handling back first: a second Ctrl-C ends kq7 at once.
    signal(SIGINT, OnInterrupt);
#else
    struct sigaction action{};
    action.sa_handler = OnInterrupt;
    // A second Ctrl-C ends kq7 at once, for whoever cannot wait for the clean end.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
#endif
}

void CancelOnInterrupt(kq7_device* device) { g_device.store(device); }

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
