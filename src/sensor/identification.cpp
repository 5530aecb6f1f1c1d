/* SPDX-License-Identifier: MIT */
#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "frame_format.h"
#include "sensor/sensor.h"

namespace kq7 {

namespace {

constexpr size_t kBandCountSize = 4;
constexpr size_t kCoeffPayloadSize = kCoefficientCount * kDoubleSize;
constexpr char kIdentDelimiter = '-';

// Copies the piece of `text` that starts at `from` and ends at the next
// delimiter or at the text's end into `field`; returns where it ended.
const char* CopyPiece(const char* from, char (&field)[kIdentFieldCapacity]) {
    const char* end = std::strchr(from, kIdentDelimiter);
    const size_t n = end != nullptr ? static_cast<size_t>(end - from) : std::strlen(from);
    std::memcpy(field, from, n);  // n < kIdentFieldCapacity: `text` holds at most 99 characters
    return end;
}

void LogCoefficients(const Log& log, const double (&a)[kCoefficientCount]) {
    if (log.Enabled()) {
        LogLine line;
        line.Text("a0:").General(a[0]).Text("  a1:").General(a[1]).Text("  a2:").General(a[2]);
        log.Write(LogRoute::kStream, line.Text("  a3:").General(a[3]));
    }
}

}  // namespace

void Sensor::Reset() {
    info_ = SensorInfo();
    std::memset(samples_, 0, sizeof samples_);
    currentShutter_ = 0;
    shutterKnown_ = false;
}

int Sensor::Initialize() {
    Reset();
    SensorInfo setem;
    const int result = ReadInfo(setem);
    info_ = setem;
    return result;
}

int Sensor::ReadInfo(SensorInfo& setem) {
    ExchangeResult reply = link_.SendQuery(CMD_GET_IDENT);
    if (!reply.Ok()) {
        return reply.code;
    }
    // The identification text: at most 99 characters, ending at a NUL.
    char text[kIdentFieldCapacity] = {};
    std::memcpy(text, link_.Payload(), std::min(static_cast<size_t>(reply.length), sizeof text - 1));
    log_.Write(LogRoute::kStream, text);
    // "MODEL-SERIAL-...": the first two pieces; an empty text has none.
    const char* serial = CopyPiece(text, setem.identField1);
    if (serial != nullptr) {
        CopyPiece(serial + 1, setem.identField2);
    }

    reply = link_.SendQuery(CMD_GET_BANDNUMBER);
    if (!reply.Ok()) {
        return reply.code;
    }
    const int32_t bandnumber =
        DecodeBigEndianInt32(link_.Payload(), std::min(static_cast<size_t>(reply.length), kBandCountSize));
    if (bandnumber < 0 || bandnumber > kMaxBands) {
        return KQ7_ERR_BAD_IDENTIFICATION;
    }
    setem.bandnumber = bandnumber;
    setem.maxValue = kFullScale;

    reply = link_.SendQuery(CMD_GET_COEFF);
    if (!reply.Ok()) {
        return reply.code;
    }
    if (static_cast<size_t>(reply.length) < kCoeffPayloadSize) {
        return KQ7_ERR_BAD_IDENTIFICATION;
    }
    double a[kCoefficientCount];
    for (int k = 0; k < kCoefficientCount; ++k) {
        a[k] = DecodeBigEndianDouble(link_.Payload() + k * kDoubleSize);
    }
    LogCoefficients(log_, a);
    for (int k = 0; k < kCoefficientCount; ++k) {
        setem.coeff[k] = static_cast<float>(a[k]);
    }
    return KQ7_OK;
}

}  // namespace kq7
