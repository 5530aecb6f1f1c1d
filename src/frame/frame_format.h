/* SPDX-License-Identifier: MIT */
// The KQ7 wire format: one frame layout in both directions.
//
//   offset 0      0x55            header, first byte
//   offset 1      0xAA            header, second byte
//   offset 2      command         request code; a reply repeats it, or 0x40 (busy)
//   offset 3, 4   length L        payload length, big-endian (high byte first)
//   offset 5      payload         L bytes
//   offset 5 + L  CRC-16          of the payload only, big-endian
//
// A frame is L + 7 bytes. CRC bytes 0xEE 0xEE in a received frame are a
// wildcard that is accepted without checking.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kq7 {

constexpr uint8_t kHeaderByte0 = 0x55;
constexpr uint8_t kHeaderByte1 = 0xAA;
constexpr uint8_t kCrcWildcardByte = 0xEE;

constexpr size_t kCommandOffset = 2;
constexpr size_t kLengthHighOffset = 3;
constexpr size_t kLengthLowOffset = 4;
constexpr size_t kPayloadOffset = 5;
constexpr size_t kHeaderSize = 5;  // header, command and length
constexpr size_t kFrameOverhead = 7;  // header, command, length and CRC

// Command codes. Every reply carries the code of its request.
constexpr uint8_t CMD_GET_IDENT = 0x50;
constexpr uint8_t CMD_SET_SHUTTER = 0x51;
constexpr uint8_t CMD_SHUTTER_CLOSE = 0x55;
constexpr uint8_t CMD_SHUTTER_OPEN = 0x56;
constexpr uint8_t CMD_GET_BANDNUMBER = 0x57;
constexpr uint8_t CMD_SET_COEFF = 0x58;
constexpr uint8_t CMD_GET_COEFF = 0x59;
constexpr uint8_t CMD_GET_DATA = 0x61;
// Reply only: the sensor is busy; the rest of such a frame is not read.
constexpr uint8_t REPLY_BUSY = 0x40;

// Result of checking a frame: a payload length (0 or more) on success, else
// one of these codes.
constexpr int32_t ERR_FRAME_LENGTH = -200;
constexpr int32_t ERR_FRAME_HEADER = -300;
constexpr int32_t ERR_FRAME_COMMAND = -400;
constexpr int32_t ERR_NULL_ARGUMENT = -500;
constexpr int32_t ERR_FRAME_CRC = -600;

// PackFrame's own failure value; never leaves the serial link.
constexpr int32_t kPackFailed = -1;

}  // namespace kq7
