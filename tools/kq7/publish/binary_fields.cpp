/* SPDX-License-Identifier: MIT */
#include "kq7/publish/binary_fields.h"

#include <cstring>

namespace kq7publish {

void LittleEndianWriter::Bytes(uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        out_ += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

void LittleEndianWriter::U8(uint8_t value) { Bytes(value, 1); }
void LittleEndianWriter::U16(uint16_t value) { Bytes(value, 2); }
void LittleEndianWriter::U32(uint32_t value) { Bytes(value, 4); }
void LittleEndianWriter::U64(uint64_t value) { Bytes(value, 8); }

void LittleEndianWriter::F32(float value) {
    uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value, "binary32");
    std::memcpy(&bits, &value, sizeof bits);
    U32(bits);
}

uint64_t LittleEndianReader::Bytes(int count) {
    if (!ok_ || in_.size() - at_ < static_cast<std::size_t>(count)) {
        ok_ = false;
        return 0;
    }
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        value |= static_cast<uint64_t>(static_cast<unsigned char>(in_[at_ + i])) << (8 * i);
    }
    at_ += count;
    return value;
}

float LittleEndianReader::F32() {
    const uint32_t bits = U32();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace kq7publish
