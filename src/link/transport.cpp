/* SPDX-License-Identifier: MIT */
// The link's side of the host functions and the receive that gathers one
// reply frame.
#include <algorithm>
#include <cstring>

#include "link/clock.h"
#include "link/frame_codec.h"
#include "link/frame_format.h"
#include "link/link.h"

namespace kq7 {

namespace {

// The elapsed time is exceeded only when strictly greater than the limit.
bool LimitPassed(uint64_t start, uint64_t limitMs) { return TickMilliseconds() - start > limitMs; }

}  // namespace

void Link::Attach(kq7_write_fn write, kq7_read_fn read, void* context) {
    write_ = write;
    read_ = read;
    context_ = context;
    attached_ = true;
    // What the previous functions left behind is not this link's.
    staleReplyPossible = false;
}

void Link::Write(const uint8_t* data, int64_t length) {
    if (write_ != nullptr) {
        write_(context_, data, length);
    }
}

int64_t Link::Read(uint8_t* dest, int64_t maxLength) {
    if (read_ == nullptr || Cancelled()) {
        return 0;
    }
    return std::clamp<int64_t>(read_(context_, dest, maxLength), 0, maxLength);
}

void Link::DiscardPendingInput() {
    const uint64_t start = TickMilliseconds();
    for (int reads = 0; reads < kDiscardMaxReads; ++reads) {
        if (Read(rxBuffer, kRxBufferSize) == 0 || LimitPassed(start, kDiscardLimitMs)) {
            return;
        }
    }
}

// Reads into the free part of rxBuffer, never past its end.
void Link::ReadIntoRxBuffer(int32_t wanted) {
    const int32_t room = static_cast<int32_t>(kRxBufferSize) - rxCount;
    rxCount += static_cast<int32_t>(Read(rxBuffer + rxCount, std::min(wanted, room)));
}

void Link::LogReceivedFrame() const {
    if (!log_.Enabled()) {
        return;
    }
    LogLine line;
    line.Text("Data from sensor: ");
    const int32_t dumped = std::min(rxCount, kDumpedBytes);
    for (int32_t i = 0; i < dumped; ++i) {
        line.HexByte(rxBuffer[i]);
    }
    log_.Write(LogRoute::kPrintf, line);
}

int64_t Link::Fail(ExchangeEnd end) {
    lastEnd_ = end;
    return NO_REPLY;
}

int64_t Link::Receive(uint8_t command, uint64_t limitMs, bool recogniseBusy) {
    SleepOneMillisecond();
    const uint64_t start = TickMilliseconds();
    rxCount = 0;
    std::memset(rxBuffer, 0, kRxClearedBytes);

    ReadIntoRxBuffer(kFirstReadSize);
    const int32_t headerSize = static_cast<int32_t>(kHeaderSize);
    while (rxCount < headerSize) {
        ReadIntoRxBuffer(headerSize - rxCount);
        rxCount = FindFrameStart(rxBuffer, static_cast<uint16_t>(rxCount));
        if (Cancelled()) {
            return Fail(ExchangeEnd::kCancelled);
        }
        if (LimitPassed(start, limitMs)) {
            return Fail(ExchangeEnd::kNoReply);
        }
    }

    if (recogniseBusy && rxBuffer[kCommandOffset] == REPLY_BUSY) {
        log_.Write(LogRoute::kPrintf, "warning: sensor busy");
        return Fail(ExchangeEnd::kBusy);
    }

    // Big-endian payload length, taken once.
    const int32_t length = (rxBuffer[kLengthHighOffset] << 8) | rxBuffer[kLengthLowOffset];
    if (length > kMaxReplyPayload) {
        lastEnd_ = ExchangeEnd::kRejected;
        return ERR_FRAME_LENGTH;
    }
    const int32_t frameSize = length + static_cast<int32_t>(kFrameOverhead);
    while (rxCount < frameSize) {
        ReadIntoRxBuffer(kBodyReadSize);
        if (Cancelled()) {
            return Fail(ExchangeEnd::kCancelled);
        }
        if (LimitPassed(start, limitMs)) {
            return Fail(ExchangeEnd::kNoReply);
        }
    }

    LogReceivedFrame();
    const int32_t result = UnpackReply(rxBuffer, static_cast<uint16_t>(rxCount), command, rxBuffer);
    if (result < 0) {
        lastEnd_ = ExchangeEnd::kRejected;
    }
    return result;
}

int64_t Link::ReceiveReply(uint8_t command) { return Receive(command, kQueryReplyLimitMs, false); }

int64_t Link::ReceiveReplyTimed(uint8_t command, uint32_t limitMs) { return Receive(command, limitMs, true); }

}  // namespace kq7
