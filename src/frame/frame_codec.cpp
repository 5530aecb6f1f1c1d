/* SPDX-License-Identifier: MIT */
#include "frame_codec.h"

#include <cstring>

#include "crc16.h"
#include "frame_format.h"

namespace kq7 {

int32_t PackFrame(uint8_t command, uint16_t length, const uint8_t* payload, uint8_t* out) {
    if (out == nullptr || (length != 0 && payload == nullptr)) {
        return kPackFailed;
    }
    out[0] = kHeaderByte0;
    out[1] = kHeaderByte1;
    out[kCommandOffset] = command;
    out[kLengthHighOffset] = static_cast<uint8_t>(length >> 8);  // big-endian length
    out[kLengthLowOffset] = static_cast<uint8_t>(length & 0xFF);
    if (length != 0) {
        std::memmove(out + kPayloadOffset, payload, length);
    }
    const uint16_t crc = Crc16(out + kPayloadOffset, length);
    out[kPayloadOffset + length] = static_cast<uint8_t>(crc >> 8);  // big-endian CRC
    out[kPayloadOffset + length + 1] = static_cast<uint8_t>(crc & 0xFF);
    return static_cast<int32_t>(length + kFrameOverhead);
}

int32_t FindFrameStart(uint8_t* buf, uint16_t count) {
    if (buf == nullptr) {
        return ERR_NULL_ARGUMENT;
    }
    if (count < 2) {
        return count;
    }
    for (uint16_t i = 0; i + 1 < count; ++i) {
        if (buf[i] == kHeaderByte0 && buf[i + 1] == kHeaderByte1) {
            if (i != 0) {
                std::memmove(buf, buf + i, count - i);
            }
            return count - i;
        }
    }
    const bool headerMayFollow = buf[count - 1] == kHeaderByte0;
    std::memset(buf, 0, count);
    if (headerMayFollow) {
        buf[0] = kHeaderByte0;
        return 1;
    }
    return 0;
}

int32_t UnpackReply(uint8_t* frame, uint16_t received, uint8_t expected, uint8_t* dest) {
    if (frame == nullptr || dest == nullptr) {
        return ERR_NULL_ARGUMENT;
    }
    // Each field is read only once enough bytes are held to contain it.
    if (received < 2 || frame[0] != kHeaderByte0 || frame[1] != kHeaderByte1) {
        return ERR_FRAME_HEADER;
    }
    if (received <= kCommandOffset || frame[kCommandOffset] != expected) {
        return ERR_FRAME_COMMAND;
    }
    if (received < kFrameOverhead) {
        return ERR_FRAME_LENGTH;
    }
    const uint16_t length = static_cast<uint16_t>((frame[kLengthHighOffset] << 8) | frame[kLengthLowOffset]);
    if (length > received - kFrameOverhead) {
        return ERR_FRAME_LENGTH;
    }
    const uint8_t crcHigh = frame[kPayloadOffset + length];
    const uint8_t crcLow = frame[kPayloadOffset + length + 1];
    const bool wildcard = crcHigh == kCrcWildcardByte && crcLow == kCrcWildcardByte;
    if (!wildcard && Crc16(frame + kPayloadOffset, length) != ((crcHigh << 8) | crcLow)) {
        return ERR_FRAME_CRC;
    }
    if (length != 0) {
        std::memmove(dest, frame + kPayloadOffset, length);
    }
    return length;
}

}  // namespace kq7
