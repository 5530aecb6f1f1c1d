/* SPDX-License-Identifier: MIT */
#pragma once

#include <cstdint>

namespace kq7 {

// CRC-16/KERMIT: polynomial 0x1021 bit-reversed (0x8408, shifting right),
// initial value 0, no final XOR. Computed bit by bit, without a table.
uint16_t Crc16(const uint8_t* data, uint16_t length);

}  // namespace kq7
