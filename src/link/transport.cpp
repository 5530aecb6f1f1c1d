/* SPDX-License-Identifier: MIT */
// The link's side of the host functions and the receive that gathers one
// reply frame.
#include <algorithm>
#include <cstring>

#include "link/clock.h"
#include "frame_codec.h"
#include "frame_format.h"
#include "link/link.h"

namespace kq7 {

namespace {

// The elapsed time is exceeded only when strictly greater than the limit.
bool LimitPassed(uint64_t start, uint64_t limitMs) { return TickMilliseconds() - start > limitMs; }

const char* RejectionText(int32_t unpackResult) {
    switch (unpackResult) {
        case ERR_FRAME_HEADER:
            return "a frame with a wrong header";
        case ERR_FRAME_COMMAND:
            return "a frame of another command";
        case ERR_FRAME_LENGTH:
            return "a frame whose length disagrees with its bytes";
        default:
            return "a frame with a wrong CRC";
    }
}

}  // namespace

void Link::Attach(kq7_write_fn write, kq7_read_fn read, void* context) {
    write_ = write;
    read_ = read;
    context_ = context;
    attached_ = true;
    // What the previous functions left behind is not this link's.
    staleReplyPossible_ = false;
}

void Link::StartCall(int32_t timeoutMs) {
    detail_ = LogLine();
    linkFailure_ = KQ7_OK;
    deadlineSet_ = timeoutMs > 0;
    deadline_ = deadlineSet_ ? TickMilliseconds() + static_cast<uint64_t>(timeoutMs) : 0;
}

void Link::FailIo(const char* function, int64_t result) {
    linkFailure_ = KQ7_ERR_IO;
    detail_ = LogLine();
    detail_.Text("the ").Text(function).Text(" function returned ").Int(result);
}

void Link::Write(const uint8_t* data, int64_t length) {
    if (write_ == nullptr) {
        return;
    }
    if (!deviceRules_) {
        write_(context_, data, length);
        return;
    }
    // A result of 0, or of the whole length or more, ends the write: hosts
    // written before write results counted return 0.
    int64_t sent = 0;
    while (sent < length && linkFailure_ == KQ7_OK) {
        const int64_t result = write_(context_, data + sent, length - sent);
        if (result < 0) {
            FailIo("write", result);
        } else if (result == 0 || result >= length - sent) {
            return;
        } else {
            sent += result;
        }
    }
}

int64_t Link::Read(uint8_t* dest, int64_t maxLength) {
    if (read_ == nullptr || Cancelled() || linkFailure_ != KQ7_OK) {
        return 0;
    }
    const int64_t result = read_(context_, dest, maxLength);
    if (result < 0 && deviceRules_) {
        FailIo("read", result);
    }
    return std::clamp<int64_t>(result, 0, maxLength);
}

int Link::Interruption() const {
    if (Cancelled()) {
        return KQ7_ERR_CANCELLED;
    }
    if (linkFailure_ != KQ7_OK) {
        return linkFailure_;
    }
    if (deadlineSet_ && TickMilliseconds() > deadline_) {
        return KQ7_ERR_TIMEOUT;
    }
    return KQ7_OK;
}

ExchangeResult Link::Fail(int code, uint8_t command, const char* what) {
    if (code != KQ7_ERR_IO && code != KQ7_ERR_CANCELLED) {
        detail_ = LogLine();
        detail_.Text("awaiting command ").HexByte(command).Text("- ").Text(what);
    }
    return {code};
}

// A complete, valid frame of another command than `awaited` (and no busy
// answer) is what an earlier exchange left on the line. Its payload is
// moved to the buffer's start; the bytes behind the frame stay.
bool Link::IsLateReply(uint8_t awaited, int32_t frameSize) {
    const uint8_t command = rxBuffer_[kCommandOffset];
    return deviceRules_ && command != awaited && command != REPLY_BUSY &&
           UnpackReply(rxBuffer_, static_cast<uint16_t>(frameSize), command, rxBuffer_) >= 0;
}

void Link::DiscardPendingInput() {
    const uint64_t start = TickMilliseconds();
    for (int reads = 0; reads < kDiscardMaxReads; ++reads) {
        if (Read(rxBuffer_, kRxBufferSize) == 0 || LimitPassed(start, kDiscardLimitMs)) {
            return;
        }
    }
}

// Reads into the free part of the receive buffer, never past its end.
void Link::ReadIntoRxBuffer(int32_t wanted) {
    const int32_t room = static_cast<int32_t>(kRxBufferSize) - rxCount_;
    rxCount_ += static_cast<int32_t>(Read(rxBuffer_ + rxCount_, std::min(wanted, room)));
}

void Link::LogReceivedFrame() const {
    if (!log_.Enabled()) {
        return;
    }
    LogLine line;
    line.Text("Data from sensor: ");
    const int32_t dumped = std::min(rxCount_, kDumpedBytes);
    for (int32_t i = 0; i < dumped; ++i) {
        line.HexByte(rxBuffer_[i]);
    }
    log_.Write(LogRoute::kPrintf, line);
}

ExchangeResult Link::Receive(uint8_t command, uint64_t limitMs, bool recogniseBusy) {
    SleepOneMillisecond();
    const uint64_t start = TickMilliseconds();
    rxCount_ = 0;
    std::memset(rxBuffer_, 0, kRxClearedBytes);

    ReadIntoRxBuffer(kFirstReadSize);
    const int32_t headerSize = static_cast<int32_t>(kHeaderSize);
    for (;;) {
        while (rxCount_ < headerSize) {
            ReadIntoRxBuffer(headerSize - rxCount_);
            rxCount_ = FindFrameStart(rxBuffer_, static_cast<uint16_t>(rxCount_));
            if (const int stop = Interruption(); stop != KQ7_OK) {
                return Fail(stop, command, "the call's time limit passed before a frame header");
            }
            if (LimitPassed(start, limitMs)) {
                return Fail(KQ7_ERR_NO_REPLY, command, "no frame header within the exchange's limit");
            }
        }

        if (recogniseBusy && rxBuffer_[kCommandOffset] == REPLY_BUSY) {
            log_.Write(LogRoute::kPrintf, "warning: sensor busy");
            return Fail(KQ7_ERR_BUSY, command, "the sensor answered busy");
        }

        // Big-endian payload length, taken once.
        const int32_t length = (rxBuffer_[kLengthHighOffset] << 8) | rxBuffer_[kLengthLowOffset];
        if (length > kMaxReplyPayload) {
            return Fail(KQ7_ERR_REJECTED_REPLY, command, "a frame announced a payload above the receive buffer");
        }
        const int32_t frameSize = length + static_cast<int32_t>(kFrameOverhead);
        while (rxCount_ < frameSize) {
            ReadIntoRxBuffer(kBodyReadSize);
            if (const int stop = Interruption(); stop != KQ7_OK) {
                return Fail(stop, command, "the call's time limit passed inside a frame");
            }
            if (LimitPassed(start, limitMs)) {
                return Fail(KQ7_ERR_NO_REPLY, command, "a frame stopped short of its length");
            }
        }

        LogReceivedFrame();
        const uint8_t received = rxBuffer_[kCommandOffset];
        if (!IsLateReply(command, frameSize)) {
            break;
        }
        LogLine skipped;
        log_.Write(LogRoute::kPrintf, skipped.Text("skipped a late reply to command ").HexByte(received));
        // Whatever followed the late frame is the start of the next one.
        std::memmove(rxBuffer_, rxBuffer_ + frameSize, static_cast<size_t>(rxCount_ - frameSize));
        rxCount_ = FindFrameStart(rxBuffer_, static_cast<uint16_t>(rxCount_ - frameSize));
    }

    const int32_t payloadLength = UnpackReply(rxBuffer_, static_cast<uint16_t>(rxCount_), command, rxBuffer_);
    if (payloadLength < 0) {
        return Fail(KQ7_ERR_REJECTED_REPLY, command, RejectionText(payloadLength));
    }
    return {KQ7_OK, payloadLength};
}

ExchangeResult Link::ReceiveReply(uint8_t command) { return Receive(command, kQueryReplyLimitMs, false); }

ExchangeResult Link::ReceiveReplyTimed(uint8_t command, uint32_t limitMs) {
    return Receive(command, limitMs, true);
}

}  // namespace kq7
