/* SPDX-License-Identifier: MIT */
#include "kq7/publish/outgoing_queue.h"

namespace kq7publish {

void OutgoingQueue::SetInfo(std::string payload) { info_ = {std::move(payload), true}; }

void OutgoingQueue::SetStatus(std::string payload) { status_ = {std::move(payload), true}; }

void OutgoingQueue::PushSpectrum(std::string payload) {
    if (capacity_ == 0) {
        ++dropped_;
        return;
    }
    if (spectra_.size() == capacity_) {
        spectra_.pop_front();
        ++dropped_;
    }
    spectra_.push_back(std::move(payload));
}

void OutgoingQueue::ResendState() {
    info_.unsent = !info_.payload.empty();
    status_.unsent = !status_.payload.empty();
}

std::optional<Outgoing> OutgoingQueue::Take() {
    for (auto [kind, state] : {std::pair{TopicKind::Info, &info_}, std::pair{TopicKind::Status, &status_}}) {
        if (state->unsent) {
            state->unsent = false;
            return Outgoing{kind, state->payload};
        }
    }
    if (spectra_.empty()) {
        return std::nullopt;
    }
    Outgoing spectrum{TopicKind::Spectrum, std::move(spectra_.front())};
    spectra_.pop_front();
    return spectrum;
}

void OutgoingQueue::PutBack(Outgoing message) {
    if (message.kind == TopicKind::Spectrum) {
        if (spectra_.size() < capacity_) {
            spectra_.push_front(std::move(message.payload));
        } else {
            ++dropped_;
        }
        return;
    }
    State& state = message.kind == TopicKind::Info ? info_ : status_;
    if (!state.unsent) {
        state.unsent = state.payload == message.payload;
    }
}

}  // namespace kq7publish
