/* SPDX-License-Identifier: MIT */
// What a publisher has yet to hand to the network: the latest info and
// status (each replaced, never dropped, by a newer one) and the spectra, of
// which the oldest is dropped when the queue is full. Not thread-safe: the
// publisher locks it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "kq7/publish/topics.h"

namespace kq7publish {

struct Outgoing {
    TopicKind kind;  // Info, Status or Spectrum
    std::string payload;
};

class OutgoingQueue {
public:
    explicit OutgoingQueue(std::size_t spectrumCapacity) : capacity_(spectrumCapacity) {}

    void SetInfo(std::string payload);
    void SetStatus(std::string payload);
    void PushSpectrum(std::string payload);
    // After a reconnection: the broker may have lost its retained messages.
    void ResendState();

    // Removes and returns the info first, then the status, then the oldest
    // spectrum; nothing when all is sent.
    std::optional<Outgoing> Take();
    // A message the network did not take goes first again, unless a newer
    // info or status replaced it meanwhile, or the spectra are full.
    void PutBack(Outgoing message);

    bool Empty() const { return !info_.unsent && !status_.unsent && spectra_.empty(); }
    std::size_t QueuedSpectra() const { return spectra_.size(); }
    uint64_t DroppedSpectra() const { return dropped_; }

private:
    struct State {
        std::string payload;
        bool unsent = false;
    };
    std::size_t capacity_;
    State info_;
    State status_;
    std::deque<std::string> spectra_;
    uint64_t dropped_ = 0;
};

}  // namespace kq7publish
