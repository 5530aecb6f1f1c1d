/* SPDX-License-Identifier: MIT */
// One serial link: the host's two functions and their context, one transmit
// and one receive buffer, and the exchanges that the sensor code holds over
// them. Each exchange returns a payload length (the payload then starts at
// rxBuffer[0]), an ERR_ code, or NO_REPLY; LastEnd() tells what ended its
// last failed attempt.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/frame_format.h"
#include "log/log.h"
#include "nerb_kq7lib.h"

namespace kq7 {

constexpr size_t kTxBufferSize = 1000;
constexpr size_t kRxBufferSize = 10000;
// The longest payloads whose frames fit the buffers: 993 out, 9993 in.
constexpr uint16_t kMaxRequestPayload = kTxBufferSize - kFrameOverhead;
constexpr uint16_t kMaxReplyPayload = kRxBufferSize - kFrameOverhead;

// A receive starts by clearing this many bytes at the start of rxBuffer.
constexpr size_t kRxClearedBytes = 200;
// The hexadecimal dump of a received frame stops after this many bytes.
constexpr int32_t kDumpedBytes = 50;
// Size of the first read of a receive, and of each read of a frame's body.
constexpr int32_t kFirstReadSize = 2;
constexpr int32_t kBodyReadSize = 10;
// An untimed query still gives up after this long without a complete reply.
constexpr uint32_t kQueryReplyLimitMs = 5000;

constexpr int kAttempts = 10;
constexpr uint32_t kCommandReplyLimitMs = 1000;

// Bounds of the discard that follows an exchange whose reply may still come
// twice: reads until the line is empty, at most this many and this long.
constexpr int kDiscardMaxReads = 64;
constexpr uint32_t kDiscardLimitMs = 30;

// What ended the last failed receive.
enum class ExchangeEnd {
    kNoReply,    // silence until the limit
    kRejected,   // a frame with a wrong header, command, length or CRC
    kBusy,       // the sensor answered busy
    kCancelled,  // Cancel() was called
};

// 2 x shutter + 2000 ms, clamped to 0 .. 2^32 - 1.
uint32_t AcquisitionLimitMs(int32_t shutter);

class Link {
public:
    explicit Link(const Log& log) : log_(log) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Takes the host's functions and their context (null functions too: the
    // link then sends nothing and receives nothing), and forgets any stale
    // reply of the functions before.
    void Attach(kq7_write_fn write, kq7_read_fn read, void* context);
    bool Attached() const { return attached_; }

    // Sends `command` with the one-byte payload 0x00 and receives one reply
    // (ReceiveReply): one attempt, no resend.
    int64_t SendQuery(uint8_t command);

    // Sends `command` with `payload` and receives the reply within
    // kCommandReplyLimitMs, up to kAttempts times, resending after every even
    // attempt. Any frame, also a rejected one, ends the exchange. A payload
    // above kMaxRequestPayload gives ERR_FRAME_LENGTH and a null payload with
    // a length ERR_NULL_ARGUMENT; nothing is sent then.
    int64_t SendCommand(uint8_t command, const uint8_t* payload, uint16_t length);

    // Requests a spectrum (CMD_GET_DATA) and receives it within
    // AcquisitionLimitMs(shutter), up to kAttempts times, resending after
    // attempts 0 and 5. Only a valid frame ends the exchange early.
    int64_t SendAcquire(int32_t shutter);

    // Gathers one reply frame for `command` into rxBuffer and checks it.
    // Returns the payload length, an ERR_ code, or NO_REPLY when no complete
    // frame came within kQueryReplyLimitMs. A busy frame is read whole and
    // rejected as another command.
    int64_t ReceiveReply(uint8_t command);

    // As ReceiveReply within `limitMs`, and a busy reply ends it with NO_REPLY
    // as soon as its header is in.
    int64_t ReceiveReplyTimed(uint8_t command, uint32_t limitMs);

    // Reads and drops what the host's read function has waiting, until it
    // returns 0, kDiscardMaxReads reads or kDiscardLimitMs have passed.
    void DiscardPendingInput();

    // Hands `length` bytes to the host's write function.
    void Write(const uint8_t* data, int64_t length);

    // Asks the host's read function for at most `maxLength` bytes. Returns
    // how many it stored, clamped to 0..maxLength whatever the host returned;
    // 0 without a read function, and 0 without asking once cancelled.
    int64_t Read(uint8_t* dest, int64_t maxLength);

    ExchangeEnd LastEnd() const { return lastEnd_; }

    // Ends the running exchange at its next read. Safe from any thread and
    // from a signal handler.
    void Cancel() { cancelRequested_.store(true, std::memory_order_relaxed); }
    // Forgets a cancel that came while no call ran.
    void ClearCancel() { cancelRequested_.store(false, std::memory_order_relaxed); }

    uint8_t txBuffer[kTxBufferSize] = {};
    uint8_t rxBuffer[kRxBufferSize] = {};
    int32_t rxCount = 0;
    // Set by an exchange that resent its request or ended without a valid
    // reply: a second answer to it may be on its way or waiting in the port.
    bool staleReplyPossible = false;

private:
    int64_t Receive(uint8_t command, uint64_t limitMs, bool recogniseBusy);
    void ReadIntoRxBuffer(int32_t wanted);
    void LogReceivedFrame() const;
    void LogAttemptFailed(int attempt) const;
    void Resend(int32_t frameSize);
    void DropStaleReply();
    int64_t Finish(int64_t result, bool resent);
    int64_t Fail(ExchangeEnd end);
    bool Cancelled() const { return cancelRequested_.load(std::memory_order_relaxed); }

    const Log& log_;
    kq7_write_fn write_ = nullptr;
    kq7_read_fn read_ = nullptr;
    void* context_ = nullptr;
    bool attached_ = false;
    ExchangeEnd lastEnd_ = ExchangeEnd::kNoReply;
    std::atomic<bool> cancelRequested_{false};
};

}  // namespace kq7
