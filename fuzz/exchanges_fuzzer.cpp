/* SPDX-License-Identifier: MIT */
// The receive and the three exchanges against an arbitrary line. The input
// chooses the call and its arguments, and then plays the sensor's side: each
// read takes a control word (bytes to deliver, milliseconds that pass) and
// delivers that many of the remaining bytes. Once the input is used up the
// line stays silent and the clock passes every limit, so each receive ends.
//
// Input layout (FuzzedDataProvider): numbers are taken from the end (call,
// command, argument, then one 16-bit control word per read: bits 0-3 the
// bytes to deliver, bits 4-15 the milliseconds that pass), byte strings from
// the front (a command's payload, then the line's bytes).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "api/device.h"
#include "fuzz_clock.h"
#include "fuzz_require.h"
#include "crc16.h"
#include "frame_codec.h"
#include "frame_format.h"
#include "link/link.h"
#include "nerb_kq7lib.h"

namespace {

using Bytes = std::vector<uint8_t>;

enum class Call { kReceive, kReceiveTimed, kQuery, kCommand, kAcquire, kMaxValue = kAcquire };

// Room for a request payload above what a frame may carry.
constexpr uint16_t kLongestPayloadTried = kq7::kMaxRequestPayload + 8;
// Resends included: a command goes out at most six times, a spectrum
// request three times.
constexpr size_t kMostCommandWrites = 6;
constexpr size_t kMostAcquireWrites = 3;

struct Line {
    FuzzedDataProvider* input = nullptr;
    std::vector<Bytes> writes;
    Bytes deliveredThisReceive;  // every byte read since the current receive began
    int receive = -1;
};

Line line;

int64_t KQ7_CALL LineWrite(const uint8_t* data, int64_t length) {
    line.writes.emplace_back(data, data + length);
    return length;
}

int64_t KQ7_CALL LineRead(uint8_t* dest, int64_t maxLength) {
    if (line.receive != kq7::fuzz::ReceivesBegun()) {
        line.receive = kq7::fuzz::ReceivesBegun();
        line.deliveredThisReceive.clear();
    }
    FuzzedDataProvider& input = *line.input;
    if (input.remaining_bytes() == 0) {
        kq7::fuzz::PassEveryLimit();
        return 0;
    }
    const uint16_t control = input.ConsumeIntegral<uint16_t>();
    kq7::fuzz::AdvanceClock(control >> 4);  // 0 to 4095 ms
    const size_t wanted = std::min<size_t>(control & 0x0F, static_cast<size_t>(maxLength));
    const Bytes chunk = input.ConsumeBytes<uint8_t>(wanted);
    std::copy(chunk.begin(), chunk.end(), dest);
    line.deliveredThisReceive.insert(line.deliveredThisReceive.end(), chunk.begin(), chunk.end());
    return static_cast<int64_t>(chunk.size());
}

// A payload length that fits the receive buffer, or one of the ends a receive
// or exchange may come to (a refused argument is checked where it can happen).
bool IsExchangeResult(const kq7::ExchangeResult& result) {
    if (result.Ok()) {
        return result.length >= 0 && result.length <= kq7::kMaxReplyPayload;
    }
    return result.length == 0 && (result.code == KQ7_ERR_NO_REPLY || result.code == KQ7_ERR_REJECTED_REPLY ||
                                   result.code == KQ7_ERR_BUSY || result.code == KQ7_ERR_CANCELLED);
}

// A successful receive has read a frame for `command` whose payload now
// starts the receive buffer: somewhere among the bytes read by the last receive lie the
// header, the command, the big-endian length, that payload and a valid CRC.
bool ReadFrameWithPayload(uint8_t command, int32_t length) {
    const Bytes& read = line.deliveredThisReceive;
    const uint8_t* received = kq7::TheBuiltInDevice().device.link.Payload();
    const Bytes payload(received, received + length);
    const size_t frameSize = static_cast<size_t>(length) + kq7::kFrameOverhead;
    for (size_t at = 0; at + frameSize <= read.size(); ++at) {
        const uint8_t* frame = read.data() + at;
        const uint8_t* crc = frame + kq7::kPayloadOffset + length;
        const uint16_t sent = static_cast<uint16_t>((crc[0] << 8) | crc[1]);
        const bool crcValid = (crc[0] == kq7::kCrcWildcardByte && crc[1] == kq7::kCrcWildcardByte) ||
                              sent == kq7::Crc16(frame + kq7::kPayloadOffset, static_cast<uint16_t>(length));
        if (frame[0] == kq7::kHeaderByte0 && frame[1] == kq7::kHeaderByte1 && frame[kq7::kCommandOffset] == command &&
            frame[kq7::kLengthHighOffset] == (length >> 8) && frame[kq7::kLengthLowOffset] == (length & 0xFF) &&
            std::equal(payload.begin(), payload.end(), frame + kq7::kPayloadOffset) && crcValid) {
            return true;
        }
    }
    return false;
}

// Every write is the one request frame, unchanged.
void RequireWrites(uint8_t command, const Bytes& payload, size_t mostWrites) {
    Bytes request(payload.size() + kq7::kFrameOverhead);
    kq7::PackFrame(command, static_cast<uint16_t>(payload.size()), payload.data(), request.data());
    KQ7_FUZZ_REQUIRE(!line.writes.empty() && line.writes.size() <= mostWrites);
    for (const Bytes& written : line.writes) {
        KQ7_FUZZ_REQUIRE(written == request);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    line = Line{};
    line.input = &input;
    kq7::fuzz::InstallFuzzClock();
    KQ7Set_Serial_FUN(LineWrite, LineRead);
    kq7::Link& link = kq7::TheBuiltInDevice().device.link;

    const Call call = input.ConsumeEnum<Call>();
    const uint8_t command = input.ConsumeIntegral<uint8_t>();
    const Bytes oneByteRequest{0x00};
    kq7::ExchangeResult result;
    switch (call) {
        case Call::kReceive:
            result = link.ReceiveReply(command);
            KQ7_FUZZ_REQUIRE(line.writes.empty());
            break;
        case Call::kReceiveTimed:
            result = link.ReceiveReplyTimed(command, input.ConsumeIntegral<uint32_t>());
            KQ7_FUZZ_REQUIRE(line.writes.empty());
            break;
        case Call::kQuery:
            result = link.SendQuery(command);
            RequireWrites(command, oneByteRequest, 1);
            break;
        case Call::kCommand: {
            const Bytes payload = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<uint16_t>(0, kLongestPayloadTried));
            const uint16_t length = static_cast<uint16_t>(payload.size());
            result = link.SendCommand(command, payload.data(), length);
            if (length > kq7::kMaxRequestPayload) {
                KQ7_FUZZ_REQUIRE(result.code == KQ7_ERR_INVALID_ARGUMENT && line.writes.empty());
                return 0;
            } else {
                RequireWrites(command, payload, kMostCommandWrites);
            }
            break;
        }
        case Call::kAcquire:
            result = link.SendAcquire(input.ConsumeIntegral<int32_t>());
            RequireWrites(kq7::CMD_GET_DATA, oneByteRequest, kMostAcquireWrites);
            break;
    }
    KQ7_FUZZ_REQUIRE(IsExchangeResult(result));
    if (result.Ok()) {
        const uint8_t replyCommand = call == Call::kAcquire ? kq7::CMD_GET_DATA : command;
        KQ7_FUZZ_REQUIRE(ReadFrameWithPayload(replyCommand, result.length));
    }
    return 0;
}
