/* SPDX-License-Identifier: MIT */
#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "frame_format.h"
#include "sensor/sensor.h"

namespace kq7 {

namespace {

constexpr int kShutterClosed = 0;
constexpr int kShutterOpen = 1;
// Both shutter commands carry this byte; the command code tells which.
constexpr uint8_t kShutterPayload = 0x01;
constexpr size_t kShutterValueSize = 4;

}  // namespace

int Sensor::SetShutterState(int state) {
    if (state != kShutterClosed && state != kShutterOpen) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const uint8_t command = state == kShutterOpen ? CMD_SHUTTER_OPEN : CMD_SHUTTER_CLOSE;
    return link_.SendCommand(command, &kShutterPayload, 1).code;
}

int Sensor::Capture(int32_t shutter) {
    // The sensor keeps its shutter value, so a known value is not sent again;
    // a value is known only once acknowledged.
    if (!shutterKnown_ || shutter != currentShutter_) {
        shutterKnown_ = false;
        uint8_t shutterlitte[kShutterValueSize];
        EncodeBigEndianInt32(shutter, shutterlitte);
        const int result = link_.SendCommand(CMD_SET_SHUTTER, shutterlitte, kShutterValueSize).code;
        if (result != KQ7_OK) {
            return result;
        }
        currentShutter_ = shutter;
        shutterKnown_ = true;
    }
    const ExchangeResult spectrum = link_.SendAcquire(currentShutter_);
    if (!spectrum.Ok()) {
        return spectrum.code;
    }
    if (spectrum.length < 2 * info_.bandnumber) {
        return KQ7_ERR_SHORT_SPECTRUM;
    }
    // Samples pass through as the sensor sent them: 16 bits, low byte first.
    const size_t copied = std::min(static_cast<size_t>(spectrum.length), sizeof samples_);
    std::memcpy(samples_, link_.Payload(), copied);
    std::memset(reinterpret_cast<uint8_t*>(samples_) + copied, 0, sizeof samples_ - copied);
    return KQ7_OK;
}

int Sensor::PeakValue(const uint16_t* data, int count) {
    // The samples hold the sensor's bytes unchanged: low byte first.
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data);
    int peak = -1;
    for (int i = 0; i < count; ++i) {
        peak = std::max<int>(peak, DecodeLittleEndianUint16(bytes + 2 * i));
    }
    return peak;
}

}  // namespace kq7
