/* SPDX-License-Identifier: MIT */
// One serial link: the host's two functions and their context, one transmit
// and one receive buffer, and the exchanges that the sensor code holds over
// them. Each exchange returns an ExchangeResult.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "frame_format.h"
#include "log/log.h"
#include "nerb_kq7lib.h"

namespace kq7 {

constexpr size_t kTxBufferSize = 1000;
constexpr size_t kRxBufferSize = 10000;
// The longest payloads whose frames fit the buffers: 993 out, 9993 in.
constexpr uint16_t kMaxRequestPayload = kTxBufferSize - kFrameOverhead;
constexpr uint16_t kMaxReplyPayload = kRxBufferSize - kFrameOverhead;

// A receive starts by clearing this many bytes at the start of its buffer.
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

// The outcome of a receive or an exchange: KQ7_OK with the reply's payload
// length (the payload then starts at Link::Payload()), or what ended it:
// KQ7_ERR_NO_REPLY (silence until the limit), KQ7_ERR_REJECTED_REPLY (a frame
// with a wrong header, command, length or CRC), KQ7_ERR_BUSY or
// KQ7_ERR_CANCELLED (Cancel() was called).
struct ExchangeResult {
    int code = KQ7_OK;
    int32_t length = 0;

    bool Ok() const { return code == KQ7_OK; }
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
    ExchangeResult SendQuery(uint8_t command);

    // Sends `command` with `payload` and receives the reply within
    // kCommandReplyLimitMs, up to kAttempts times, resending after every even
    // attempt. Any frame, also a rejected one, ends the exchange; a failed
    // one ends as its last attempt did. A payload above kMaxRequestPayload,
    // or a null payload with a length, is refused with
    // KQ7_ERR_INVALID_ARGUMENT; nothing is sent then.
    ExchangeResult SendCommand(uint8_t command, const uint8_t* payload, uint16_t length);

    // Requests a spectrum (CMD_GET_DATA) and receives it within
    // AcquisitionLimitMs(shutter), up to kAttempts times, resending after
    // attempts 0 and 5. Only a valid frame or a cancel ends the exchange
    // early; a failed one ends as its last attempt did.
    ExchangeResult SendAcquire(int32_t shutter);

    // Gathers one reply frame for `command` into the receive buffer and
    // checks it, within kQueryReplyLimitMs. A busy frame is read whole and
    // rejected as another command.
    ExchangeResult ReceiveReply(uint8_t command);

    // As ReceiveReply within `limitMs`, and a busy reply ends it with
    // KQ7_ERR_BUSY as soon as its header is in.
    ExchangeResult ReceiveReplyTimed(uint8_t command, uint32_t limitMs);

    // Where the last successful receive left its payload.
    const uint8_t* Payload() const { return rxBuffer_; }
    // How many bytes the last receive held.
    int32_t ReceivedCount() const { return rxCount_; }

    // Reads and drops what the host's read function has waiting, until it
    // returns 0, kDiscardMaxReads reads or kDiscardLimitMs have passed.
    void DiscardPendingInput();

    // Hands `length` bytes to the host's write function.
    void Write(const uint8_t* data, int64_t length);

    // Asks the host's read function for at most `maxLength` bytes. Returns
    // how many it stored, clamped to 0..maxLength whatever the host returned;
    // 0 without a read function, and 0 without asking once cancelled.
    int64_t Read(uint8_t* dest, int64_t maxLength);

    // Ends the running exchange at its next read. Safe from any thread and
    // from a signal handler.
    void Cancel() { cancelRequested_.store(true, std::memory_order_relaxed); }
    // Forgets a cancel that came while no call ran.
    void ClearCancel() { cancelRequested_.store(false, std::memory_order_relaxed); }

private:
    ExchangeResult Receive(uint8_t command, uint64_t limitMs, bool recogniseBusy);
    void ReadIntoRxBuffer(int32_t wanted);
    void LogReceivedFrame() const;
    void LogAttemptFailed(int attempt) const;
    void Resend(int32_t frameSize);
    void DropStaleReply();
    ExchangeResult Finish(ExchangeResult result, bool resent);
    bool Cancelled() const { return cancelRequested_.load(std::memory_order_relaxed); }

    const Log& log_;
    kq7_write_fn write_ = nullptr;
    kq7_read_fn read_ = nullptr;
    void* context_ = nullptr;
    bool attached_ = false;
    std::atomic<bool> cancelRequested_{false};
    uint8_t txBuffer_[kTxBufferSize] = {};
    uint8_t rxBuffer_[kRxBufferSize] = {};
    int32_t rxCount_ = 0;
    // Set by an exchange that resent its request or ended without a valid
    // reply: a second answer to it may be on its way or waiting in the port.
    bool staleReplyPossible_ = false;
};

}  // namespace kq7
