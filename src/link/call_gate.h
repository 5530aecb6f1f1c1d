/* SPDX-License-Identifier: MIT */
// Who may use a device now, in one atomic word: a call running, a cancel
// asked for, a close waiting for the call to end. One word, so that a call
// taking the device and forgetting an earlier cancel is one step (no cancel
// that lands once the call runs is lost) and a close never frees a device a
// call still uses. Lock-free: Cancel is safe from a signal handler.
#pragma once

#include <atomic>
#include <cstdint>

namespace kq7 {

class CallGate {
public:
    // Takes the device for one call unless a call runs or a close is
    // waiting; a cancel that came while no call ran is forgotten.
    bool TryEnter() {
        uint32_t state = state_.load(std::memory_order_relaxed);
        do {
            if ((state & (kCallRunning | kClosing)) != 0) {
                return false;
            }
        } while (!state_.compare_exchange_weak(state, (state | kCallRunning) & ~kCancelled,
                                               std::memory_order_acquire, std::memory_order_relaxed));
        return true;
    }

    // Ends the call; true when a close came during it: the caller frees the
    // device then.
    bool Leave() { return (state_.fetch_and(~kCallRunning, std::memory_order_acq_rel) & kClosing) != 0; }

    void Cancel() { state_.fetch_or(kCancelled, std::memory_order_relaxed); }
    bool Cancelled() const { return (state_.load(std::memory_order_relaxed) & kCancelled) != 0; }

    // Cancels the running call and refuses every later one; true when no
    // call ran, so that the caller frees the device now (else Leave says so).
    bool Close() { return (state_.fetch_or(kClosing | kCancelled, std::memory_order_acq_rel) & kCallRunning) == 0; }

private:
    static constexpr uint32_t kCallRunning = 1;
    static constexpr uint32_t kCancelled = 2;
    static constexpr uint32_t kClosing = 4;

    std::atomic<uint32_t> state_{0};
};

}  // namespace kq7
