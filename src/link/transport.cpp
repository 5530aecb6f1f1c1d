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

}  // namespace

void Link::Attach(kq7_write_fn write, kq7_read_fn read, void* context) {
    write_ = write;
    read_ = read;
    context_ = context;
    attached_ = true;
    // What the previous functions left behind is not this link's.
    staleReplyPossible_ = false;
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
    while (rxCount_ < headerSize) {
        ReadIntoRxBuffer(headerSize - rxCount_);
        rxCount_ = FindFrameStart(rxBuffer_, static_cast<uint16_t>(rxCount_));
        if (Cancelled()) {
            return {KQ7_ERR_CANCELLED};
        }
        if (LimitPassed(start, limitMs)) {
            return {KQ7_ERR_NO_REPLY};
        }
    }

    if (recogniseBusy && rxBuffer_[kCommandOffset] == REPLY_BUSY) {
        log_.Write(LogRoute::kPrintf, "warning: sensor busy");
        return {KQ7_ERR_BUSY};
    }

    // Big-endian payload length, taken once.
    const int32_t length = (rxBuffer_[kLengthHighOffset] << 8) | rxBuffer_[kLengthLowOffset];
    if (length > kMaxReplyPayload) {
        return {KQ7_ERR_REJECTED_REPLY};
    }
    const int32_t frameSize = length + static_cast<int32_t>(kFrameOverhead);
    while (rxCount_ < frameSize) {
        ReadIntoRxBuffer(kBodyReadSize);
        if (Cancelled()) {
            return {KQ7_ERR_CANCELLED};
        }
        if (LimitPassed(start, limitMs)) {
            return {KQ7_ERR_NO_REPLY};
        }
    }

    LogReceivedFrame();
    const int32_t payloadLength = UnpackReply(rxBuffer_, static_cast<uint16_t>(rxCount_), command, rxBuffer_);
    if (payloadLength < 0) {
        return {KQ7_ERR_REJECTED_REPLY};
    }
    return {KQ7_OK, payloadLength};
}

ExchangeResult Link::ReceiveReply(uint8_t command) { return Receive(command, kQueryReplyLimitMs, false); }

ExchangeResult Link::ReceiveReplyTimed(uint8_t command, uint32_t limitMs) {
    return Receive(command, limitMs, true);
}

}  // namespace kq7
