/* SPDX-License-Identifier: MIT */
#include "link/exchanges.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "link/frame_codec.h"
#include "link/frame_format.h"
#include "link/transport.h"

namespace kq7 {

namespace {

// The one-byte payload of the queries and of the spectrum request.
constexpr uint8_t dataforsend = 0x00;

constexpr int64_t kAcquisitionBaseMs = 2000;
constexpr int64_t kAcquisitionMsPerShutter = 2;

void PrintAttemptFailed(int attempt) {
    std::printf("warning  try %d times: date not enough,try again!!\n", attempt);
}

// A reply that outlived the previous exchange would be taken for this one's.
void DropStaleReply() {
    if (StaleReplyPossible) {
        DiscardPendingInput();
        StaleReplyPossible = false;
    }
}

// Marks the end of an exchange; only a valid reply to a request sent once
// leaves no second answer behind.
int64_t Finish(int64_t result, bool resent) {
    StaleReplyPossible = resent || !IsPayloadLength(result);
    return result;
}

void Resend(int32_t frameSize) {
    std::printf("send command again\n");
    SerialWrite(TxBuffer, frameSize);
}

}  // namespace

uint32_t AcquisitionLimitMs(int32_t shutter) {
    const int64_t limit = kAcquisitionMsPerShutter * shutter + kAcquisitionBaseMs;
    return static_cast<uint32_t>(std::clamp<int64_t>(limit, 0, std::numeric_limits<uint32_t>::max()));
}

int64_t SendQuery(uint8_t command) {
    DropStaleReply();
    const int32_t frameSize = PackFrame(command, 1, &dataforsend, TxBuffer);
    SerialWrite(TxBuffer, frameSize);
    return Finish(ReceiveReply(command), false);
}

int64_t SendCommand(uint8_t command, const uint8_t* payload, uint16_t length) {
    if (length > kMaxRequestPayload) {
        return ERR_FRAME_LENGTH;
    }
    if (length != 0 && payload == nullptr) {
        return ERR_NULL_ARGUMENT;
    }
    DropStaleReply();
    const int32_t frameSize = PackFrame(command, length, payload, TxBuffer);
    SerialWrite(TxBuffer, frameSize);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int64_t result = ReceiveReplyTimed(command, kCommandReplyLimitMs);
        if (result != NO_REPLY) {
            return Finish(result, attempt > 0);
        }
        if (attempt % 2 == 0) {
            Resend(frameSize);
        }
        PrintAttemptFailed(attempt);
    }
    std::printf("ERROR date not enough,retunr !!\n");
    return Finish(NO_REPLY, true);
}

int64_t SendAcquire(int32_t shutter) {
    DropStaleReply();
    const int32_t frameSize = PackFrame(CMD_GET_DATA, 1, &dataforsend, TxBuffer);
    SerialWrite(TxBuffer, frameSize);
    const uint32_t limitMs = AcquisitionLimitMs(shutter);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int64_t result = ReceiveReplyTimed(CMD_GET_DATA, limitMs);
        if (IsPayloadLength(result)) {
            return Finish(result, attempt > 0);
        }
        if (attempt % 5 == 0) {
            Resend(frameSize);
        }
        PrintAttemptFailed(attempt);
    }
    return Finish(NO_REPLY, true);
}

}  // namespace kq7
