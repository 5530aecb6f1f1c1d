/* SPDX-License-Identifier: MIT */
// Little-endian fields written and read byte by byte, so that the payload is
// the same whatever the host's byte order. Floats are IEEE 754 binary32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kq7publish {

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(std::string& out) : out_(out) {}
    void U8(uint8_t value);
    void U16(uint16_t value);
    void U32(uint32_t value);
    void U64(uint64_t value);
    void F32(float value);

private:
    void Bytes(uint64_t value, int count);
    std::string& out_;
};

// Reads from a payload; every read past its end fails and leaves Ok() false.
class LittleEndianReader {
public:
    explicit LittleEndianReader(const std::string& in) : in_(in) {}
    uint8_t U8() { return static_cast<uint8_t>(Bytes(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Bytes(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Bytes(4)); }
    uint64_t U64() { return Bytes(8); }
    float F32();
    bool Ok() const { return ok_; }
    std::size_t Left() const { return ok_ ? in_.size() - at_ : 0; }

private:
    uint64_t Bytes(int count);
    const std::string& in_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace kq7publish
