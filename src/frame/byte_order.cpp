/* SPDX-License-Identifier: MIT */
#include "byte_order.h"

#include <algorithm>
#include <cstring>

namespace kq7 {

namespace {

bool HostIsLittleEndian() {
    const uint16_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

}  // namespace

void ReverseBytes(uint8_t* bytes, size_t n) { std::reverse(bytes, bytes + n); }

int32_t DecodeBigEndianInt32(const uint8_t* p, size_t available) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value = (value << 8) | (i < available ? p[i] : 0u);
    }
    return static_cast<int32_t>(value);
}

void EncodeBigEndianInt32(int32_t value, uint8_t* out) {
    const uint32_t bits = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(bits >> 24);
    out[1] = static_cast<uint8_t>(bits >> 16);
    out[2] = static_cast<uint8_t>(bits >> 8);
    out[3] = static_cast<uint8_t>(bits);
}

uint16_t DecodeLittleEndianUint16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

double DecodeBigEndianDouble(const uint8_t* p) {
    uint8_t bytes[kDoubleSize];
    std::memcpy(bytes, p, kDoubleSize);
    if (HostIsLittleEndian()) {
        ReverseBytes(bytes, kDoubleSize);
    }
    double value = 0;
    std::memcpy(&value, bytes, kDoubleSize);
    return value;
}

void EncodeBigEndianDouble(double value, uint8_t* out) {
    std::memcpy(out, &value, kDoubleSize);
    if (HostIsLittleEndian()) {
        ReverseBytes(out, kDoubleSize);
    }
}

}  // namespace kq7
