/* SPDX-License-Identifier: MIT */
// The frame codec on arbitrary bytes. Every buffer handed to the codec is a
// heap block of exactly the size the codec is told, so AddressSanitizer
// reports any access beyond it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz_require.h"
#include "crc16.h"
#include "frame_codec.h"
#include "frame_format.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kUntouched = 0xA5;  // fills dest to show what was written

struct HeapBytes {
    std::unique_ptr<uint8_t[]> data;  // never null, even for no bytes
    size_t size;

    explicit HeapBytes(const Bytes& bytes) : data(new uint8_t[bytes.size()]), size(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    HeapBytes(size_t n, uint8_t fill) : data(new uint8_t[n]), size(n) { std::fill_n(data.get(), n, fill); }

    Bytes Range(size_t from, size_t to) const { return Bytes(data.get() + from, data.get() + to); }
    Bytes All() const { return Range(0, size); }
};

bool HasHeaderAt(const Bytes& bytes, size_t i) {
    return i + 1 < bytes.size() && bytes[i] == kq7::kHeaderByte0 && bytes[i + 1] == kq7::kHeaderByte1;
}

bool IsUnpackResult(int32_t result) {
    return (result >= 0 && result <= UINT16_MAX) || result == kq7::ERR_FRAME_LENGTH ||
           result == kq7::ERR_FRAME_HEADER || result == kq7::ERR_FRAME_COMMAND ||
           result == kq7::ERR_FRAME_CRC;
}

// What must hold of a frame that UnpackReply accepted with result `length`.
void RequireAccepted(const Bytes& frame, uint8_t expected, int32_t length) {
    KQ7_FUZZ_REQUIRE(static_cast<size_t>(length) + kq7::kFrameOverhead <= frame.size());
    KQ7_FUZZ_REQUIRE(HasHeaderAt(frame, 0));
    KQ7_FUZZ_REQUIRE(frame[kq7::kCommandOffset] == expected);
    // Big-endian length and CRC.
    KQ7_FUZZ_REQUIRE(((frame[kq7::kLengthHighOffset] << 8) | frame[kq7::kLengthLowOffset]) == length);
    const uint8_t crcHigh = frame[kq7::kPayloadOffset + length];
    const uint8_t crcLow = frame[kq7::kPayloadOffset + length + 1];
    const bool wildcard = crcHigh == kq7::kCrcWildcardByte && crcLow == kq7::kCrcWildcardByte;
    KQ7_FUZZ_REQUIRE(wildcard ||
                     kq7::Crc16(frame.data() + kq7::kPayloadOffset, static_cast<uint16_t>(length)) ==
                         ((crcHigh << 8) | crcLow));
}

// Keeps the bytes from the first header on; without one keeps nothing, or a
// final 0x55 that may start a header.
void CheckFindFrameStart(const Bytes& input) {
    HeapBytes buf(input);
    const int32_t held = kq7::FindFrameStart(buf.data.get(), static_cast<uint16_t>(buf.size));
    KQ7_FUZZ_REQUIRE(held >= 0 && static_cast<size_t>(held) <= input.size());
    const size_t dropped = input.size() - static_cast<size_t>(held);
    KQ7_FUZZ_REQUIRE(buf.Range(0, held) == Bytes(input.begin() + dropped, input.end()));
    for (size_t i = 0; i < dropped; ++i) {
        KQ7_FUZZ_REQUIRE(!HasHeaderAt(input, i));
    }
    if (held >= 2) {
        KQ7_FUZZ_REQUIRE(HasHeaderAt(buf.All(), 0));
    }
}

void CheckUnpackReplyApart(const Bytes& frame, uint8_t expected) {
    HeapBytes source(frame);
    // Room for the longest payload the frame could hold, and no more.
    HeapBytes dest(std::max(frame.size(), kq7::kFrameOverhead) - kq7::kFrameOverhead, kUntouched);
    const int32_t result =
        kq7::UnpackReply(source.data.get(), static_cast<uint16_t>(source.size), expected, dest.data.get());
    KQ7_FUZZ_REQUIRE(IsUnpackResult(result));
    KQ7_FUZZ_REQUIRE(source.All() == frame);
    const size_t written = result >= 0 ? static_cast<size_t>(result) : 0;
    if (result >= 0) {
        RequireAccepted(frame, expected, result);
        KQ7_FUZZ_REQUIRE(dest.Range(0, written) == Bytes(frame.begin() + kq7::kPayloadOffset,
                                                          frame.begin() + kq7::kPayloadOffset + written));
    }
    KQ7_FUZZ_REQUIRE(dest.Range(written, dest.size) == Bytes(dest.size - written, kUntouched));
}

// The receive passes the start of the frame's own buffer as dest: the payload
// moves five bytes towards the start, and the bytes behind it stay.
void CheckUnpackReplyInPlace(const Bytes& frame, uint8_t expected) {
    HeapBytes buf(frame);
    const int32_t result =
        kq7::UnpackReply(buf.data.get(), static_cast<uint16_t>(buf.size), expected, buf.data.get());
    KQ7_FUZZ_REQUIRE(IsUnpackResult(result));
    const size_t moved = result >= 0 ? static_cast<size_t>(result) : 0;
    if (result >= 0) {
        RequireAccepted(frame, expected, result);
        KQ7_FUZZ_REQUIRE(buf.Range(0, moved) == Bytes(frame.begin() + kq7::kPayloadOffset,
                                                       frame.begin() + kq7::kPayloadOffset + moved));
    }
    KQ7_FUZZ_REQUIRE(buf.Range(moved, buf.size) == Bytes(frame.begin() + moved, frame.end()));
}

void CheckRoundTrip(uint8_t command, const Bytes& payload) {
    const uint16_t length = static_cast<uint16_t>(payload.size());
    HeapBytes source(payload);
    HeapBytes frame(payload.size() + kq7::kFrameOverhead, 0);
    const int32_t packed = kq7::PackFrame(command, length, source.data.get(), frame.data.get());
    KQ7_FUZZ_REQUIRE(packed == static_cast<int32_t>(frame.size));

    HeapBytes held(frame.All());
    KQ7_FUZZ_REQUIRE(kq7::FindFrameStart(held.data.get(), static_cast<uint16_t>(held.size)) == packed);

    HeapBytes dest(payload.size(), kUntouched);
    KQ7_FUZZ_REQUIRE(kq7::UnpackReply(frame.data.get(), static_cast<uint16_t>(frame.size), command,
                                      dest.data.get()) == length);
    KQ7_FUZZ_REQUIRE(dest.All() == payload);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT16_MAX) {
        return -1;  // the codec's counts are 16-bit
    }
    const Bytes input(data, data + size);
    CheckFindFrameStart(input);
    // The input as a frame answering its own command byte, so that complete
    // frames in the corpus are accepted.
    CheckUnpackReplyApart(input, size > kq7::kCommandOffset ? input[kq7::kCommandOffset] : 0);

    FuzzedDataProvider provider(data, size);
    const uint8_t expected = provider.ConsumeIntegral<uint8_t>();
    const Bytes rest = provider.ConsumeRemainingBytes<uint8_t>();
    CheckUnpackReplyApart(rest, expected);
    CheckUnpackReplyInPlace(input, expected);

    const size_t payloadLength = std::min<size_t>(size, UINT16_MAX - kq7::kFrameOverhead);
    CheckRoundTrip(expected, Bytes(input.begin(), input.begin() + payloadLength));
    return 0;
}
