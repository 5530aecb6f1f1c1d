/* SPDX-License-Identifier: MIT */
// Building, finding and checking frames. Pure functions over caller buffers:
// no state, no allocation, no output.
#pragma once

#include <cstdint>

namespace kq7 {

// Writes the frame for `payload` into `out` (which needs length + 7 bytes) and
// returns length + 7. Returns kPackFailed, writing nothing, when `out` is null
// or when length is not 0 and `payload` is null.
int32_t PackFrame(uint8_t command, uint16_t length, const uint8_t* payload, uint8_t* out);

// Drops the bytes in front of the first 0x55 0xAA among the `count` bytes at
// `buf` and returns how many are held afterwards. Without a header the bytes
// are zeroed and 0 is returned, except that a final 0x55 is kept (moved to
// buf[0], result 1): it may be the first half of a header still on the way.
int32_t FindFrameStart(uint8_t* buf, uint16_t count);

// Checks the frame at `frame` (`received` bytes held) against the `expected`
// command and moves its payload to `dest`, which may overlap the frame.
// Returns the payload length or ERR_NULL_ARGUMENT, ERR_FRAME_HEADER,
// ERR_FRAME_COMMAND, ERR_FRAME_LENGTH, ERR_FRAME_CRC (tested in this order).
// A rejected frame leaves `dest` untouched.
int32_t UnpackReply(uint8_t* frame, uint16_t received, uint8_t expected, uint8_t* dest);

}  // namespace kq7
