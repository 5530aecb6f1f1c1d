/* SPDX-License-Identifier: MIT */
#include "sim/virtual_sensor.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "crc16.h"
#include "frame_codec.h"
#include "frame_format.h"
#include "byte_order.h"

namespace kq7sim {

namespace {

using namespace kq7;

constexpr size_t kShutterValueSize = 4;
constexpr size_t kCoefficientsSize = 4 * kDoubleSize;
// Ahead of every reply under Fault::Stray; holds no 0x55, so the host's
// resynchronisation has nothing to mistake for a header.
constexpr uint8_t kStrayBytes[] = {0x00, 0xFF, 0x13};
// A request longer than this cannot be one of the protocol's: the bytes held
// for it are dropped.
constexpr size_t kMaxPendingBytes = 4096;

uint16_t CorruptedCrc(uint16_t crc) {
    uint16_t wrong = static_cast<uint16_t>(crc + 1);
    // 0xEE 0xEE would be accepted by any host as the wildcard.
    if (wrong == 0xEEEE) {
        ++wrong;
    }
    return wrong;
}

// Commands that change the sensor's state or take a spectrum; a busy sensor
// defers these, while it answers the identification queries at once.
bool IsDeferrable(uint8_t command) {
    return command == CMD_SET_SHUTTER || command == CMD_SHUTTER_CLOSE || command == CMD_SHUTTER_OPEN ||
           command == CMD_SET_COEFF || command == CMD_GET_DATA;
}

}  // namespace

VirtualSensor::VirtualSensor(const SimConfig& config)
    : config_(config),
      light_(config),
      coefficients_(DriftedCoefficients(config.coefficients, config.bands, config.driftNm)) {
    if (config.bands < kMinBands || config.bands > kMaxBands) {
        throw std::invalid_argument("band count must be " + std::to_string(kMinBands) + " to " +
                                    std::to_string(kMaxBands));
    }
}

Bytes VirtualSensor::Feed(const uint8_t* data, size_t length) {
    pending_.insert(pending_.end(), data, data + length);
    if (pending_.size() > kMaxPendingBytes) {
        pending_.clear();
    }
    Bytes replies;
    for (;;) {
        const int32_t held = FindFrameStart(pending_.data(), static_cast<uint16_t>(pending_.size()));
        pending_.resize(static_cast<size_t>(std::max(held, 0)));
        if (pending_.size() < kHeaderSize) {
            break;
        }
        // Payload length, big-endian.
        const size_t payloadLength =
            static_cast<size_t>(pending_[kLengthHighOffset]) << 8 | pending_[kLengthLowOffset];
        const size_t frameSize = payloadLength + kFrameOverhead;
        if (pending_.size() < frameSize) {
            break;
        }
        const uint8_t command = pending_[kCommandOffset];
        const Bytes payload(pending_.begin() + kPayloadOffset,
                            pending_.begin() + static_cast<std::ptrdiff_t>(kPayloadOffset + payloadLength));
        // CRC, big-endian, over the payload only.
        const uint16_t crc = static_cast<uint16_t>(pending_[kPayloadOffset + payloadLength] << 8 |
                                                   pending_[kPayloadOffset + payloadLength + 1]);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(frameSize));
        if (crc != Crc16(payload.data(), static_cast<uint16_t>(payload.size()))) {
            continue;
        }
        const Bytes reply = Answer(command, payload);
        replies.insert(replies.end(), reply.begin(), reply.end());
    }
    return replies;
}

Bytes VirtualSensor::Answer(uint8_t command, const Bytes& payload) {
    if (config_.fault == Fault::Silent) {
        return {};
    }
    if (config_.fault == Fault::Busy && IsDeferrable(command)) {
        busyAnswered_ = !busyAnswered_;
        if (busyAnswered_) {
            return Reply(REPLY_BUSY, {});
        }
    }
    return Execute(command, payload);
}

Bytes VirtualSensor::Execute(uint8_t command, const Bytes& payload) {
    switch (command) {
    case CMD_GET_IDENT:
        return Reply(command, Bytes(config_.identification.begin(), config_.identification.end()));
    case CMD_GET_BANDNUMBER: {
        Bytes count(4);
        EncodeBigEndianInt32(config_.bands, count.data());
        return Reply(command, count);
    }
    case CMD_GET_COEFF: {
        Bytes coefficients(kCoefficientsSize);
        for (size_t k = 0; k < coefficients_.size(); ++k) {
            EncodeBigEndianDouble(coefficients_[k], coefficients.data() + k * kDoubleSize);
        }
        return Reply(command, coefficients);
    }
    case CMD_SET_COEFF:
        if (payload.size() < kCoefficientsSize) {
            return {};
        }
        for (size_t k = 0; k < coefficients_.size(); ++k) {
            coefficients_[k] = DecodeBigEndianDouble(payload.data() + k * kDoubleSize);
        }
        return Reply(command, {});
    case CMD_SET_SHUTTER:
        if (payload.size() < kShutterValueSize) {
            return {};
        }
        shutterValue_ = DecodeBigEndianInt32(payload.data(), kShutterValueSize);
        return Reply(command, {});
    case CMD_SHUTTER_CLOSE:
    case CMD_SHUTTER_OPEN:
        shutterOpen_ = command == CMD_SHUTTER_OPEN;
        return Reply(command, {});
    case CMD_GET_DATA:
        return Reply(command, Spectrum());
    default:
        return {};
    }
}

Bytes VirtualSensor::Spectrum() {
    const std::vector<uint16_t> counts = light_.Expose(shutterValue_, shutterOpen_);
    Bytes payload;
    payload.reserve(counts.size() * 2);
    for (uint16_t sample : counts) {
        // Samples go out low byte first, unlike every other number.
        payload.push_back(static_cast<uint8_t>(sample & 0xFF));
        payload.push_back(static_cast<uint8_t>(sample >> 8));
    }
    return payload;
}

Bytes VirtualSensor::Reply(uint8_t command, const Bytes& payload) const {
    Bytes frame(payload.size() + kFrameOverhead);
    PackFrame(command, static_cast<uint16_t>(payload.size()), payload.data(), frame.data());
    if (config_.fault == Fault::BadCrc) {
        const size_t crcOffset = kPayloadOffset + payload.size();
        // CRC, big-endian.
        const uint16_t wrong = CorruptedCrc(static_cast<uint16_t>(frame[crcOffset] << 8 | frame[crcOffset + 1]));
        frame[crcOffset] = static_cast<uint8_t>(wrong >> 8);
        frame[crcOffset + 1] = static_cast<uint8_t>(wrong & 0xFF);
    }
    if (config_.fault == Fault::Stray) {
        frame.insert(frame.begin(), std::begin(kStrayBytes), std::end(kStrayBytes));
    }
    return frame;
}

}  // namespace kq7sim
