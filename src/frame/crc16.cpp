/* SPDX-License-Identifier: MIT */
#include "crc16.h"

namespace kq7 {

namespace {
constexpr uint16_t kReflectedPolynomial = 0x8408;
}

uint16_t Crc16(const uint8_t* data, uint16_t length) {
    uint16_t crc = 0x0000;
    for (uint16_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ kReflectedPolynomial)
                             : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

}  // namespace kq7
