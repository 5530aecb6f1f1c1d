/* SPDX-License-Identifier: MIT */
// The serial transport: the host's two functions, one transmit and one
// receive buffer, and the receive that gathers one reply frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/frame_format.h"
#include "nerb_kq7lib.h"

namespace kq7 {

constexpr size_t kTxBufferSize = 1000;
constexpr size_t kRxBufferSize = 10000;
// The longest payloads whose frames fit the buffers: 993 out, 9993 in.
constexpr uint16_t kMaxRequestPayload = kTxBufferSize - kFrameOverhead;
constexpr uint16_t kMaxReplyPayload = kRxBufferSize - kFrameOverhead;

// A receive starts by clearing this many bytes at the start of RxBuffer.
constexpr size_t kRxClearedBytes = 200;
// The hexadecimal dump of a received frame stops after this many bytes.
constexpr int32_t kDumpedBytes = 50;
// Size of the first read of a receive, and of each read of a frame's body.
constexpr int32_t kFirstReadSize = 2;
constexpr int32_t kBodyReadSize = 10;
// An untimed query still gives up after this long without a complete reply.
constexpr uint32_t kQueryReplyLimitMs = 5000;

// Bounds of the discard that follows an exchange whose reply may still come
// twice: reads until the line is empty, at most this many and this long.
constexpr int kDiscardMaxReads = 64;
constexpr uint32_t kDiscardLimitMs = 30;

// Process-wide state, all zero when the library is loaded. One exchange at a
// time uses it.
extern uint8_t TxBuffer[kTxBufferSize];
extern uint8_t RxBuffer[kRxBufferSize];
extern int32_t RxCount;
extern bool TransportReady;  // set by RegisterHostFunctions, never reset

// Set by an exchange that resent its request or ended without a valid reply:
// a second answer to it may be on its way or waiting in the host's port.
extern bool StaleReplyPossible;

// Stores the host's functions (null ones too), marks the transport ready and
// forgets any stale reply of the functions before.
void RegisterHostFunctions(SerialWriteFn write, SerialReadFn read);

bool IsTransportReady();
uint8_t* GetRxBuffer();

// Hands `length` bytes to the host's write function, if one is registered.
void SerialWrite(const uint8_t* data, int64_t length);

// Asks the host's read function for at most `maxLength` bytes. Returns how
// many it stored, clamped to 0..maxLength whatever the host returned; 0 when
// no read function is registered.
int64_t SerialRead(uint8_t* dest, int64_t maxLength);

// Reads and drops what the host's read function has waiting, until it
// returns 0, kDiscardMaxReads reads or kDiscardLimitMs have passed.
void DiscardPendingInput();

// Gathers one reply frame for `command` into RxBuffer and checks it. Returns
// the payload length (the payload then starts at RxBuffer[0]), an ERR_ code,
// or NO_REPLY when no complete frame came within kQueryReplyLimitMs. A busy
// frame is read whole and rejected as another command.
int64_t ReceiveReply(uint8_t command);

// As ReceiveReply within `limitMs`, and a busy reply ends it with NO_REPLY
// as soon as its header is in.
int64_t ReceiveReplyTimed(uint8_t command, uint32_t limitMs);

}  // namespace kq7
