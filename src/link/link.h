/* SPDX-License-Identifier: MIT */
// One serial link: the host's two functions and their context, one transmit
// and one receive buffer, and the exchanges that the sensor code holds over
// them. Each exchange returns an ExchangeResult.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame_format.h"
#include "link/call_gate.h"
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
// with a wrong header, command, length or CRC), KQ7_ERR_BUSY,
// KQ7_ERR_CANCELLED (Cancel() was called), and under the device rules
// KQ7_ERR_TIMEOUT (the call's own limit) or KQ7_ERR_IO (a link function
// failed).
struct ExchangeResult {
    int code = KQ7_OK;
    int32_t length = 0;

    bool Ok() const { return code == KQ7_OK; }
    // Ends a resend schedule at once: nothing more can come of another attempt.
    bool EndsExchange() const {
        return code == KQ7_ERR_CANCELLED || code == KQ7_ERR_TIMEOUT || code == KQ7_ERR_IO;
    }
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

    // The seven exports' treatment of the link functions: read results
    // clamped to 0..maxLength, the write result ignored, every frame taken
    // as the reply, no time limit of the call's own. Without it (the device
    // rules) a negative result fails the call with KQ7_ERR_IO, a short write
    // is continued, a valid frame of another command is skipped as a late
    // reply of an earlier exchange, and StartCall's limit holds.
    void UseExportRules() { deviceRules_ = false; }

    // Starts a call: forgets the detail of the one before and bounds this
    // one to `timeoutMs` from now (0: the exchanges' own limits only).
    void StartCall(int32_t timeoutMs);
    // What the last call found beyond its code (which frame, which result
    // of a link function); empty when nothing.
    const char* Detail() const { return detail_.c_str(); }
    void NoteDetail(const LogLine& detail) { detail_ = detail; }

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
    // attempts 0 and 5. Only a valid frame, a cancel, the call's time limit
    // or a failed link function ends the exchange early; a failed one ends as its last attempt did.
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

    // Hands `length` bytes to the host's write function; under the device
    // rules continues a short write with the rest.
    void Write(const uint8_t* data, int64_t length);

    // Asks the host's read function for at most `maxLength` bytes. Returns
    // how many it stored, clamped to 0..maxLength; 0 without a read
    // function, and 0 without asking once cancelled or failed.
    int64_t Read(uint8_t* dest, int64_t maxLength);

    // Who uses the link's device now; its cancel ends the running exchange
    // at its next read. Safe from any thread and from a signal handler.
    CallGate& Gate() { return gate_; }
    void Cancel() { gate_.Cancel(); }

private:
    ExchangeResult Receive(uint8_t command, uint64_t limitMs, bool recogniseBusy);
    void ReadIntoRxBuffer(int32_t wanted);
    void LogReceivedFrame() const;
    void LogAttemptFailed(int attempt) const;
    void Resend(int32_t frameSize);
    void DropStaleReply();
    ExchangeResult Finish(ExchangeResult result, bool resent);
    bool Cancelled() const { return gate_.Cancelled(); }
    // What ends a receive before its own limit: KQ7_OK when nothing does.
    int Interruption() const;
    bool IsLateReply(uint8_t awaited, int32_t frameSize);
    void FailIo(const char* function, int64_t result);
    ExchangeResult Fail(int code, uint8_t command, const char* what);

    const Log& log_;
    kq7_write_fn write_ = nullptr;
    kq7_read_fn read_ = nullptr;
    void* context_ = nullptr;
    bool attached_ = false;
    bool deviceRules_ = true;
    CallGate gate_;
    uint64_t deadline_ = 0;
    bool deadlineSet_ = false;
    int linkFailure_ = KQ7_OK;  // KQ7_ERR_IO once a link function failed in this call
    LogLine detail_;
    uint8_t txBuffer_[kTxBufferSize] = {};
    uint8_t rxBuffer_[kRxBufferSize] = {};
    int32_t rxCount_ = 0;
    // Set by an exchange that resent its request or ended without a valid
    // reply: a second answer to it may be on its way or waiting in the port.
    bool staleReplyPossible_ = false;
};

}  // namespace kq7
