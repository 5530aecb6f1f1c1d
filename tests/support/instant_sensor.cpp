/* SPDX-License-Identifier: MIT */
#include "support/instant_sensor.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "frame_codec.h"
#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "byte_order.h"

namespace kq7::test {

namespace {

constexpr size_t kLargestFrame = kInstantSpectrumPayload + kFrameOverhead;
constexpr char kIdentText[] = "KQ7-INSTANT-0001";
constexpr double kCoefficients[] = {0.0, 0.0, 0.5, 400.0};  // a0 .. a3

struct PreparedReply {
    uint8_t command = 0;
    size_t size = 0;
    uint8_t frame[kLargestFrame] = {};
};

// One reply per command the library sends; acknowledgements carry no payload.
std::array<PreparedReply, 8> replies;
std::array<int, 256> requests;
bool silent = false;

// The reply on its way: what the sensor still has to hand out.
const uint8_t* linePosition = nullptr;
size_t lineRemaining = 0;

void Prepare(PreparedReply& reply, uint8_t command, const uint8_t* payload, uint16_t length) {
    reply.command = command;
    reply.size = static_cast<size_t>(PackFrame(command, length, payload, reply.frame));
}

void PrepareAll() {
    uint8_t payload[kInstantSpectrumPayload] = {};
    Prepare(replies[0], CMD_GET_IDENT, reinterpret_cast<const uint8_t*>(kIdentText),
            static_cast<uint16_t>(sizeof kIdentText - 1));

    EncodeBigEndianInt32(kInstantBands, payload);
    Prepare(replies[1], CMD_GET_BANDNUMBER, payload, 4);

    for (size_t k = 0; k < std::size(kCoefficients); ++k) {
        EncodeBigEndianDouble(kCoefficients[k], payload + k * kDoubleSize);
    }
    Prepare(replies[2], CMD_GET_COEFF, payload, static_cast<uint16_t>(std::size(kCoefficients) * kDoubleSize));

    Prepare(replies[3], CMD_SET_SHUTTER, nullptr, 0);
    Prepare(replies[4], CMD_SHUTTER_OPEN, nullptr, 0);
    Prepare(replies[5], CMD_SHUTTER_CLOSE, nullptr, 0);
    Prepare(replies[6], CMD_SET_COEFF, nullptr, 0);

    // A ramp of samples, each low byte first as the sensor sends them.
    for (size_t i = 0; i + 1 < kInstantSpectrumPayload; i += 2) {
        const uint16_t sample = static_cast<uint16_t>(i * 61);
        payload[i] = static_cast<uint8_t>(sample & 0xFF);
        payload[i + 1] = static_cast<uint8_t>(sample >> 8);
    }
    Prepare(replies[7], CMD_GET_DATA, payload, kInstantSpectrumPayload);
}

const PreparedReply* ReplyFor(uint8_t command) {
    for (const PreparedReply& reply : replies) {
        if (reply.command == command) {
            return &reply;
        }
    }
    return nullptr;
}

}  // namespace

int64_t KQ7_CALL InstantSensorWrite(void*, const uint8_t* data, int64_t length) {
    if (length <= static_cast<int64_t>(kCommandOffset)) {
        return length;
    }
    const uint8_t command = data[kCommandOffset];
    ++requests[command];
    const PreparedReply* reply = ReplyFor(command);
    if (!silent && reply != nullptr) {
        linePosition = reply->frame;
        lineRemaining = reply->size;
    }
    return length;
}

int64_t KQ7_CALL InstantSensorRead(void*, uint8_t* dest, int64_t maxLength) {
    const size_t n = std::min(lineRemaining, static_cast<size_t>(std::max<int64_t>(maxLength, 0)));
    if (n == 0) {
        return 0;
    }
    std::memcpy(dest, linePosition, n);
    linePosition += n;
    lineRemaining -= n;
    return static_cast<int64_t>(n);
}

namespace {

int64_t KQ7_CALL InstantWrite(const uint8_t* data, int64_t length) { return InstantSensorWrite(nullptr, data, length); }

int64_t KQ7_CALL InstantRead(uint8_t* dest, int64_t maxLength) { return InstantSensorRead(nullptr, dest, maxLength); }

}  // namespace

void InstallInstantSensor() {
    PrepareAll();
    requests.fill(0);
    silent = false;
    linePosition = nullptr;
    lineRemaining = 0;
    KQ7Set_Serial_FUN(InstantWrite, InstantRead);
}

void SetInstantSensorSilent(bool value) { silent = value; }

int InstantSensorRequests(uint8_t command) { return requests[command]; }

const uint8_t* InstantSpectrumFrame() { return ReplyFor(CMD_GET_DATA)->frame; }

size_t InstantSpectrumFrameSize() { return ReplyFor(CMD_GET_DATA)->size; }

}  // namespace kq7::test
