/* SPDX-License-Identifier: MIT */
// Reply bytes on their way from the virtual sensor to the host, each with the
// moment it may leave: after a reply delay, a few bytes at a time, or at the
// pace of a real baud rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/sim_config.h"

namespace kq7sim {

struct Pacing {
    int64_t delayUs = 0;      // from the request to a reply's first byte
    size_t chunkSize = 0;     // bytes per delivery; 0: as many as are due
    int64_t chunkGapUs = 0;   // pause after each chunk
    int64_t byteTimeUs = 0;   // transfer time of one byte; 0: instant
};

// One start bit, eight data bits, one stop bit.
constexpr int kBitsPerByte = 10;
// Pause between the chunks of a reply under Fault::Chunked.
constexpr int64_t kChunkGapUs = 1000;

// The pacing that `config`'s fault asks for, plus the transfer time of `baud`
// (0: none).
Pacing PacingFor(const SimConfig& config, int baud);

class Outbox {
public:
    explicit Outbox(const Pacing& pacing) : pacing_(pacing) {}

    // Queues a reply produced at `nowUs`. It leaves after the replies queued
    // before it.
    void Push(const std::vector<uint8_t>& reply, int64_t nowUs);

    // Moves the bytes due at `nowUs` to `dest`, at most `maxLength` (and at
    // most one chunk), and returns how many.
    size_t Take(uint8_t* dest, size_t maxLength, int64_t nowUs);

    bool Empty() const { return queue_.empty(); }
    // When the next byte is due; meaningful only when not Empty().
    int64_t NextDueUs() const { return queue_.front().dueUs; }

private:
    struct Timed {
        uint8_t byte;
        int64_t dueUs;
    };

    Pacing pacing_;
    std::deque<Timed> queue_;
    int64_t lastDueUs_ = 0;
};

}  // namespace kq7sim
