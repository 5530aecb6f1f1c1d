/* SPDX-License-Identifier: MIT */
#include "support/scripted_host.h"

#include <algorithm>
#include <cstring>

#include "frame_codec.h"
#include "nerb_kq7lib.h"
#include "support/fake_clock.h"

namespace kq7::test {

namespace {

struct Pending {
    Bytes bytes;
    uint64_t dueAt = 0;
    size_t chunk = SIZE_MAX;
};

}  // namespace

struct ScriptedHost::State {
    std::deque<Reply> replies;
    std::function<std::optional<Reply>(const Bytes&)> responder;
    std::function<void()> readHook;
    std::deque<Pending> line;
    std::vector<Bytes> writes;
    std::vector<int64_t> readRequests;
    std::optional<int64_t> readResultOverride;

    void PutOnLine(const Reply& reply) {
        if (!reply.bytes.empty()) {
            line.push_back(Pending{reply.bytes, FakeClock::Now() + reply.delayMs, reply.chunk});
        }
    }
};

namespace {

// The host registered with the built-in device, whose functions take no
// context.
ScriptedHost* builtInHost = nullptr;

int64_t KQ7_CALL BuiltInWrite(const uint8_t* data, int64_t length) {
    return ScriptedHost::Write(builtInHost, data, length);
}

int64_t KQ7_CALL BuiltInRead(uint8_t* dest, int64_t maxLength) { return ScriptedHost::Read(builtInHost, dest, maxLength); }

}  // namespace

int64_t KQ7_CALL ScriptedHost::Write(void* context, const uint8_t* data, int64_t length) {
    State* state = static_cast<ScriptedHost*>(context)->state_.get();
    Bytes request(data, data + length);
    state->writes.push_back(request);
    if (!state->replies.empty()) {
        const Reply reply = state->replies.front();
        state->replies.pop_front();
        state->PutOnLine(reply);
    } else if (state->responder) {
        if (const std::optional<Reply> reply = state->responder(request)) {
            state->PutOnLine(*reply);
        }
    }
    return length;
}

int64_t KQ7_CALL ScriptedHost::Read(void* context, uint8_t* dest, int64_t maxLength) {
    State* state = static_cast<ScriptedHost*>(context)->state_.get();
    state->readRequests.push_back(maxLength);
    if (state->readHook) {
        state->readHook();
    }
    int64_t delivered = 0;
    if (!state->line.empty() && state->line.front().dueAt <= FakeClock::Now()) {
        Pending& front = state->line.front();
        const size_t n = std::min({front.bytes.size(), front.chunk, static_cast<size_t>(std::max<int64_t>(maxLength, 0))});
        std::memcpy(dest, front.bytes.data(), n);
        front.bytes.erase(front.bytes.begin(), front.bytes.begin() + static_cast<std::ptrdiff_t>(n));
        if (front.bytes.empty()) {
            state->line.pop_front();
        }
        delivered = static_cast<int64_t>(n);
    } else {
        FakeClock::Advance(1);
    }
    return state->readResultOverride.value_or(delivered);
}

ScriptedHost::ScriptedHost(Registration registration) : state_(std::make_unique<State>()) {
    if (registration == Registration::kBuiltInDevice) {
        builtInHost = this;
        KQ7Set_Serial_FUN(BuiltInWrite, BuiltInRead);
    }
}

ScriptedHost::~ScriptedHost() {
    if (builtInHost == this) {
        builtInHost = nullptr;
    }
}

void ScriptedHost::QueueReply(Reply reply) { state_->replies.push_back(std::move(reply)); }

void ScriptedHost::SetResponder(std::function<std::optional<Reply>(const Bytes&)> responder) {
    state_->responder = std::move(responder);
}

void ScriptedHost::SetReadHook(std::function<void()> hook) { state_->readHook = std::move(hook); }

void ScriptedHost::Inject(const Bytes& bytes, size_t chunk, uint64_t delayMs) {
    state_->PutOnLine(Reply{bytes, delayMs, chunk});
}

void ScriptedHost::OverrideReadResult(std::optional<int64_t> result) { state_->readResultOverride = result; }

const std::vector<Bytes>& ScriptedHost::Writes() const { return state_->writes; }

const std::vector<int64_t>& ScriptedHost::ReadRequests() const { return state_->readRequests; }

size_t ScriptedHost::BytesPending() const {
    size_t total = 0;
    for (const Pending& p : state_->line) {
        total += p.bytes.size();
    }
    return total;
}

Bytes Frame(uint8_t command, const Bytes& payload) {
    Bytes frame(payload.size() + 7);
    PackFrame(command, static_cast<uint16_t>(payload.size()), payload.data(), frame.data());
    return frame;
}

Bytes WithCrcBytes(Bytes frame, uint8_t high, uint8_t low) {
    frame[frame.size() - 2] = high;
    frame[frame.size() - 1] = low;
    return frame;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
    Bytes joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

}  // namespace kq7::test
