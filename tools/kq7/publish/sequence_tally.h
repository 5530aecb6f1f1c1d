/* SPDX-License-Identifier: MIT */
// Counts the spectra missing from a publisher's sequence. QoS 1 delivers at
// least once and, after a reconnection, not always in order: a late spectrum
// fills its gap again, a repeated one is recognised as such.
#pragma once

#include <cstdint>
#include <set>

namespace kq7publish {

class SequenceTally {
public:
    // False for a sequence number seen lately (a duplicate).
    bool Note(uint64_t sequence);
    // Sequence numbers between the lowest and the highest seen that never came.
    uint64_t Missing() const { return earlierMissing_ + (started_ ? highest_ - lowest_ + 1 - distinct_ : 0); }

private:
    // Far enough back to be out of any reconnection's reach: a number lower
    // still means that the publisher started again.
    static constexpr uint64_t kWindow = 4096;
    bool started_ = false;
    uint64_t lowest_ = 0;
    uint64_t highest_ = 0;
    uint64_t distinct_ = 0;
    uint64_t earlierMissing_ = 0;
    std::set<uint64_t> recent_;
};

}  // namespace kq7publish
