/* SPDX-License-Identifier: MIT */
#include "kq7/interrupt.h"

#include <signal.h>

#include <atomic>

namespace kq7tool {

namespace {

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

}  // namespace kq7tool
