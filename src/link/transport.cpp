/* SPDX-License-Identifier: MIT */
#include "link/transport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "link/clock.h"
#include "link/frame_codec.h"
#include "link/frame_format.h"

namespace kq7 {

uint8_t TxBuffer[kTxBufferSize];
uint8_t RxBuffer[kRxBufferSize];
int32_t RxCount;
bool TransportReady;
bool StaleReplyPossible;

namespace {

SerialWriteFn hostWrite;
SerialReadFn hostRead;

// Reads into the free part of RxBuffer, never past its end.
void ReadIntoRxBuffer(int32_t wanted) {
    const int32_t room = static_cast<int32_t>(kRxBufferSize) - RxCount;
    RxCount += static_cast<int32_t>(SerialRead(RxBuffer + RxCount, std::min(wanted, room)));
}

// The elapsed time is exceeded only when strictly greater than the limit.
bool LimitPassed(uint64_t start, uint64_t limitMs) { return TickMilliseconds() - start > limitMs; }

void PrintReceivedFrame() {
    std::printf("Data from sensor: ");
    const int32_t dumped = std::min(RxCount, kDumpedBytes);
    for (int32_t i = 0; i < dumped; ++i) {
        std::printf("%02x ", RxBuffer[i]);
    }
    std::printf("\n");
}

int64_t Receive(uint8_t command, uint64_t limitMs, bool recogniseBusy) {
    SleepOneMillisecond();
    const uint64_t start = TickMilliseconds();
    RxCount = 0;
    std::memset(RxBuffer, 0, kRxClearedBytes);

    ReadIntoRxBuffer(kFirstReadSize);
    const int32_t headerSize = static_cast<int32_t>(kHeaderSize);
    while (RxCount < headerSize) {
        ReadIntoRxBuffer(headerSize - RxCount);
        RxCount = FindFrameStart(RxBuffer, static_cast<uint16_t>(RxCount));
        if (LimitPassed(start, limitMs)) {
            return NO_REPLY;
        }
    }

    if (recogniseBusy && RxBuffer[kCommandOffset] == REPLY_BUSY) {
        std::printf("warning: sensor busy\n");
        return NO_REPLY;
    }

    // Big-endian payload length, taken once.
    const int32_t length = (RxBuffer[kLengthHighOffset] << 8) | RxBuffer[kLengthLowOffset];
    if (length > kMaxReplyPayload) {
        return ERR_FRAME_LENGTH;
    }
    const int32_t frameSize = length + static_cast<int32_t>(kFrameOverhead);
    while (RxCount < frameSize) {
        ReadIntoRxBuffer(kBodyReadSize);
        if (LimitPassed(start, limitMs)) {
            return NO_REPLY;
        }
    }

    PrintReceivedFrame();
    return UnpackReply(RxBuffer, static_cast<uint16_t>(RxCount), command, RxBuffer);
}

}  // namespace

bool IsTransportReady() { return TransportReady; }

uint8_t* GetRxBuffer() { return RxBuffer; }

void SerialWrite(const uint8_t* data, int64_t length) {
    if (hostWrite != nullptr) {
        hostWrite(data, length);
    }
}

int64_t SerialRead(uint8_t* dest, int64_t maxLength) {
    if (hostRead == nullptr) {
        return 0;
    }
    return std::clamp<int64_t>(hostRead(dest, maxLength), 0, maxLength);
}

void DiscardPendingInput() {
    const uint64_t start = TickMilliseconds();
    for (int reads = 0; reads < kDiscardMaxReads; ++reads) {
        if (SerialRead(RxBuffer, kRxBufferSize) == 0 || LimitPassed(start, kDiscardLimitMs)) {
            return;
        }
    }
}

int64_t ReceiveReply(uint8_t command) { return Receive(command, kQueryReplyLimitMs, false); }

int64_t ReceiveReplyTimed(uint8_t command, uint32_t limitMs) { return Receive(command, limitMs, true); }

void RegisterHostFunctions(SerialWriteFn write, SerialReadFn read) {
    hostWrite = write;
    hostRead = read;
    TransportReady = true;
    // What the previous functions left behind is not this link's.
    StaleReplyPossible = false;
}

}  // namespace kq7
