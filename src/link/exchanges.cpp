/* SPDX-License-Identifier: MIT */
// The three exchanges: request, receive, and the resend schedules.
#include <algorithm>
#include <limits>

#include "frame_codec.h"
#include "frame_format.h"
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
    Write(txBuffer_, frameSize);
}

// A reply that outlived the previous exchange would be taken for this one's.
void Link::DropStaleReply() {
    if (staleReplyPossible_) {
        DiscardPendingInput();
        staleReplyPossible_ = false;
    }
}

// Marks the end of an exchange; only a valid reply to a request sent once
// leaves no second answer behind.
ExchangeResult Link::Finish(ExchangeResult result, bool resent) {
    staleReplyPossible_ = resent || !result.Ok();
    return result;
}

ExchangeResult Link::SendQuery(uint8_t command) {
    DropStaleReply();
    const int32_t frameSize = PackFrame(command, 1, &dataforsend, txBuffer_);
    Write(txBuffer_, frameSize);
    return Finish(ReceiveReply(command), false);
}

ExchangeResult Link::SendCommand(uint8_t command, const uint8_t* payload, uint16_t length) {
    if (length > kMaxRequestPayload || (length != 0 && payload == nullptr)) {
        return {KQ7_ERR_INVALID_ARGUMENT};
    }
    DropStaleReply();
    const int32_t frameSize = PackFrame(command, length, payload, txBuffer_);
    Write(txBuffer_, frameSize);
    ExchangeResult result{KQ7_ERR_NO_REPLY};
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        result = ReceiveReplyTimed(command, kCommandReplyLimitMs);
        // Only silence and a busy sensor are worth another attempt.
        if (result.code != KQ7_ERR_NO_REPLY && result.code != KQ7_ERR_BUSY) {
            return Finish(result, attempt > 0);
        }
        if (attempt % 2 == 0) {
            Resend(frameSize);
        }
        LogAttemptFailed(attempt);
    }
    log_.Write(LogRoute::kPrintf, "ERROR date not enough,retunr !!");
    return Finish(result, true);
}

ExchangeResult Link::SendAcquire(int32_t shutter) {
    DropStaleReply();
    const int32_t frameSize = PackFrame(CMD_GET_DATA, 1, &dataforsend, txBuffer_);
    Write(txBuffer_, frameSize);
    const uint32_t limitMs = AcquisitionLimitMs(shutter);
    ExchangeResult result{KQ7_ERR_NO_REPLY};
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        result = ReceiveReplyTimed(CMD_GET_DATA, limitMs);
        if (result.Ok() || result.code == KQ7_ERR_CANCELLED) {
            return Finish(result, attempt > 0);
        }
        if (attempt % 5 == 0) {
            Resend(frameSize);
        }
        LogAttemptFailed(attempt);
    }
    return Finish(result, true);
}

}  // namespace kq7
