/* SPDX-License-Identifier: MIT */
// The three exchanges: request, receive, and the resend schedules.
#include <algorithm>
#include <limits>

#include "link/frame_codec.h"
#include "link/frame_format.h"
#include "link/link.h"

namespace kq7 {

namespace {

// The one-byte payload of the queries and of the spectrum request.
constexpr uint8_t dataforsend = 0x00;

constexpr int64_t kAcquisitionBaseMs = 2000;
constexpr int64_t kAcquisitionMsPerShutter = 2;

}  // namespace

uint32_t AcquisitionLimitMs(int32_t shutter) {
    const int64_t limit = kAcquisitionMsPerShutter * shutter + kAcquisitionBaseMs;
    return static_cast<uint32_t>(std::clamp<int64_t>(limit, 0, std::numeric_limits<uint32_t>::max()));
}

// The texts of these lines, typos included, are what hosts have always seen:
// keep them as they are.
void Link::LogAttemptFailed(int attempt) const {
    if (log_.Enabled()) {
        LogLine line;
        line.Text("warning  try ").Int(attempt).Text(" times: date not enough,try again!!");
        log_.Write(LogRoute::kPrintf, line);
    }
}

void Link::Resend(int32_t frameSize) {
    log_.Write(LogRoute::kPrintf, "send command again");
    Write(txBuffer, frameSize);
}

// A reply that outlived the previous exchange would be taken for this one's.
void Link::DropStaleReply() {
    if (staleReplyPossible) {
        DiscardPendingInput();
        staleReplyPossible = false;
    }
}

// Marks the end of an exchange; only a valid reply to a request sent once
// leaves no second answer behind.
int64_t Link::Finish(int64_t result, bool resent) {
    staleReplyPossible = resent || !IsPayloadLength(result);
    return result;
}

int64_t Link::SendQuery(uint8_t command) {
    DropStaleReply();
    const int32_t frameSize = PackFrame(command, 1, &dataforsend, txBuffer);
    Write(txBuffer, frameSize);
    return Finish(ReceiveReply(command), false);
}

int64_t Link::SendCommand(uint8_t command, const uint8_t* payload, uint16_t length) {
    if (length > kMaxRequestPayload) {
        return ERR_FRAME_LENGTH;
    }
    if (length != 0 && payload == nullptr) {
        return ERR_NULL_ARGUMENT;
    }
    DropStaleReply();
    const int32_t frameSize = PackFrame(command, length, payload, txBuffer);
    Write(txBuffer, frameSize);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int64_t result = ReceiveReplyTimed(command, kCommandReplyLimitMs);
        if (result != NO_REPLY || lastEnd_ == ExchangeEnd::kCancelled) {
            return Finish(result, attempt > 0);
        }
        if (attempt % 2 == 0) {
            Resend(frameSize);
        }
        LogAttemptFailed(attempt);
    }
    log_.Write(LogRoute::kPrintf, "ERROR date not enough,retunr !!");
    return Finish(NO_REPLY, true);
}

int64_t Link::SendAcquire(int32_t shutter) {
    DropStaleReply();
    const int32_t frameSize = PackFrame(CMD_GET_DATA, 1, &dataforsend, txBuffer);
    Write(txBuffer, frameSize);
    const uint32_t limitMs = AcquisitionLimitMs(shutter);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int64_t result = ReceiveReplyTimed(CMD_GET_DATA, limitMs);
        if (IsPayloadLength(result) || (result == NO_REPLY && lastEnd_ == ExchangeEnd::kCancelled)) {
            return Finish(result, attempt > 0);
        }
        if (attempt % 5 == 0) {
            Resend(frameSize);
        }
        LogAttemptFailed(attempt);
    }
    return Finish(NO_REPLY, true);
}

}  // namespace kq7
