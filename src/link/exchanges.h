/* SPDX-License-Identifier: MIT */
// The three exchanges that the sensor code holds with the sensor. Each returns
// a payload length (the payload then starts at RxBuffer[0]), an ERR_ code, or
// NO_REPLY.
#pragma once

#include <cstdint>

namespace kq7 {

constexpr int kAttempts = 10;
constexpr uint32_t kCommandReplyLimitMs = 1000;

// Sends `command` with the one-byte payload 0x00 and receives one reply
// (ReceiveReply): one attempt, no resend.
int64_t SendQuery(uint8_t command);

// Sends `command` with `payload` and receives the reply within
// kCommandReplyLimitMs, up to kAttempts times, resending after every even
// attempt. Any frame, also a rejected one, ends the exchange. A payload above
// kMaxRequestPayload gives ERR_FRAME_LENGTH and a null payload with a length
// ERR_NULL_ARGUMENT; nothing is sent then.
int64_t SendCommand(uint8_t command, const uint8_t* payload, uint16_t length);

// Requests a spectrum (CMD_GET_DATA) and receives it within
// AcquisitionLimitMs(shutter), up to kAttempts times, resending after
// attempts 0 and 5. Only a valid frame ends the exchange early.
int64_t SendAcquire(int32_t shutter);

// 2 x shutter + 2000 ms, clamped to 0 .. 2^32 - 1.
uint32_t AcquisitionLimitMs(int32_t shutter);

}  // namespace kq7
