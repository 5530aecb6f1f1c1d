/* SPDX-License-Identifier: MIT */
// The sensor side of the link, scripted by a test: it records every frame the
// library writes and answers each write with the next queued reply (or asks a
// responder), delivering the bytes in chosen chunk sizes after chosen delays
// on the fake clock. While nothing is due on the line, every read advances
// the fake clock by one millisecond, so that time limits are reached without
// real waiting. Each host is a line of its own: several may serve several
// devices, on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "nerb_kq7lib.h"

namespace kq7::test {

using Bytes = std::vector<uint8_t>;

struct Reply {
    Bytes bytes;               // empty: the sensor stays silent
    uint64_t delayMs = 0;      // after the write, before the first byte is due
    size_t chunk = SIZE_MAX;   // at most this many bytes per read
};

class ScriptedHost {
public:
    enum class Registration { kBuiltInDevice, kNone };

    // A fresh script. By default the host's functions are registered with
    // the built-in device (KQ7Set_Serial_FUN); with kNone the host serves a
    // device opened on Write and Read with the host as context.
    explicit ScriptedHost(Registration registration = Registration::kBuiltInDevice);
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    // Replies are handed out one per write, in order. When none is queued the
    // responder (if any) decides; without one the sensor stays silent.
    void QueueReply(Reply reply);
    void QueueReply(Bytes bytes) { QueueReply(Reply{std::move(bytes)}); }
    void QueueSilence() { QueueReply(Reply{}); }
    void SetResponder(std::function<std::optional<Reply>(const Bytes& request)> responder);

    // Puts bytes on the line now, as if sent before the request; they are due
    // `delayMs` from now.
    void Inject(const Bytes& bytes, size_t chunk = SIZE_MAX, uint64_t delayMs = 0);

    // Runs at the start of every read, inside the library's call.
    void SetReadHook(std::function<void()> hook);

    // Every read returns this instead of the real count (a misbehaving host).
    void OverrideReadResult(std::optional<int64_t> result);

    const std::vector<Bytes>& Writes() const;
    // The maxLength of every read call, in order.
    const std::vector<int64_t>& ReadRequests() const;
    size_t BytesPending() const;

    // The device interface's link functions; `context` is the host.
    static int64_t KQ7_CALL Write(void* context, const uint8_t* data, int64_t length);
    static int64_t KQ7_CALL Read(void* context, uint8_t* dest, int64_t maxLength);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A well-formed frame (CRC computed) and corruption helpers.
Bytes Frame(uint8_t command, const Bytes& payload);
Bytes WithCrcBytes(Bytes frame, uint8_t high, uint8_t low);
Bytes Concat(const Bytes& a, const Bytes& b);

}  // namespace kq7::test
