/* SPDX-License-Identifier: MIT */
#include "sim/outbox.h"

#include <algorithm>

namespace kq7sim {

namespace {
constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int64_t kMicrosecondsPerMillisecond = 1000;
}  // namespace

Pacing PacingFor(const SimConfig& config, int baud) {
    Pacing pacing;
    if (config.fault == Fault::Delay) {
        pacing.delayUs = static_cast<int64_t>(config.delayMs) * kMicrosecondsPerMillisecond;
    }
    if (config.fault == Fault::Chunked) {
        pacing.chunkSize = static_cast<size_t>(std::max(config.chunkSize, 1));
        pacing.chunkGapUs = kChunkGapUs;
    }
    if (baud > 0) {
        pacing.byteTimeUs = kBitsPerByte * kMicrosecondsPerSecond / baud;
    }
    return pacing;
}

void Outbox::Push(const std::vector<uint8_t>& reply, int64_t nowUs) {
    if (reply.empty()) {
        return;
    }
    int64_t due = std::max(nowUs + pacing_.delayUs, queue_.empty() ? nowUs : lastDueUs_);
    for (size_t i = 0; i < reply.size(); ++i) {
        if (pacing_.chunkSize > 0 && i > 0 && i % pacing_.chunkSize == 0) {
            due += pacing_.chunkGapUs;
        }
        due += pacing_.byteTimeUs;
        queue_.push_back({reply[i], due});
    }
    lastDueUs_ = due;
}

size_t Outbox::Take(uint8_t* dest, size_t maxLength, int64_t nowUs) {
    const size_t limit = pacing_.chunkSize > 0 ? std::min(maxLength, pacing_.chunkSize) : maxLength;
    size_t taken = 0;
    while (taken < limit && !queue_.empty() && queue_.front().dueUs <= nowUs) {
        dest[taken++] = queue_.front().byte;
        queue_.pop_front();
    }
    return taken;
}

}  // namespace kq7sim
