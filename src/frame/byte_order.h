/* SPDX-License-Identifier: MIT */
// Numbers in sensor payloads are big-endian (most significant byte first);
// spectrum samples are the exception and are never converted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kq7 {

constexpr size_t kDoubleSize = 8;

// Reverses the order of `n` bytes in place.
void ReverseBytes(uint8_t* bytes, size_t n);

// Reads a signed 32-bit big-endian number from the first `available` bytes
// at `p` (at most 4 are used). Missing low-order bytes count as 0, so the
// three bytes 00 00 02 read as 0x00000200.
int32_t DecodeBigEndianInt32(const uint8_t* p, size_t available);

void EncodeBigEndianInt32(int32_t value, uint8_t* out);

// A spectrum sample: two bytes, low byte first.
uint16_t DecodeLittleEndianUint16(const uint8_t* p);

// IEEE-754 doubles as the sensor sends them: eight bytes, most significant first.
double DecodeBigEndianDouble(const uint8_t* p);
void EncodeBigEndianDouble(double value, uint8_t* out);

}  // namespace kq7
