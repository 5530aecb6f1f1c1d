/* SPDX-License-Identifier: MIT */
#include "kq7/publish/sequence_tally.h"

#include <algorithm>

namespace kq7publish {

bool SequenceTally::Note(uint64_t sequence) {
    if (started_ && sequence + kWindow < highest_) {
        earlierMissing_ = Missing();
        started_ = false;
        recent_.clear();
    }
    if (!started_) {
        started_ = true;
        lowest_ = highest_ = sequence;
        distinct_ = 0;
    }
    if (!recent_.insert(sequence).second) {
        return false;
    }
    if (recent_.size() > kWindow) {
        recent_.erase(recent_.begin());
    }
    ++distinct_;
    lowest_ = std::min(lowest_, sequence);
    highest_ = std::max(highest_, sequence);
    return true;
}

}  // namespace kq7publish
