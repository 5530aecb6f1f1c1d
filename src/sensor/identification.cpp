/* SPDX-License-Identifier: MIT */
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "link/exchanges.h"
#include "link/frame_format.h"
#include "link/transport.h"
#include "sensor/byte_order.h"
#include "sensor/sensor.h"
#include "sensor/split_string.h"

namespace kq7 {

namespace {

constexpr size_t kIdentTextCapacity = 100;  // 99 characters and the NUL
constexpr size_t kBandCountSize = 4;
constexpr size_t kCoeffPayloadSize = kCoefficientCount * kDoubleSize;
constexpr char kIdentDelimiter = '-';

// The identification text: at most 99 characters, ending at a NUL.
std::string ReadIdentText(const uint8_t* payload, int64_t length) {
    char text[kIdentTextCapacity] = {};
    const size_t n = std::min(static_cast<size_t>(length), kIdentTextCapacity - 1);
    std::memcpy(text, payload, n);
    return std::string(text);
}

void PrintCoefficients(const double (&a)[kCoefficientCount]) {
    // A fresh stream in the classic locale, so that the default number format
    // holds whatever a host did to std::cout's flags or to the global locale.
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << "a0:" << a[0] << "  a1:" << a[1] << "  a2:" << a[2] << "  a3:" << a[3];
    std::cout << line.str() << std::endl;
}

// Band n (from 1) lies at ((a0 x^3 + a1 x^2) + a2 x) + a3 with x = n, evaluated
// in double precision in this order and kept in single precision.
void FillWavelengths(SensorInfo& setem, const double (&a)[kCoefficientCount]) {
    setem.wavelengths.assign(static_cast<size_t>(setem.bandnumber), 0.0f);
    char entry[64];
    for (int32_t n = 1; n <= setem.bandnumber; ++n) {
        const double x = n;
        const double p = ((a[0] * x) * x) * x;
        const double q = (a[1] * x) * x;
        const double r = a[2] * x;
        const float w = static_cast<float>(((p + q) + r) + a[3]);
        setem.wavelengths[static_cast<size_t>(n - 1)] = w;
        std::snprintf(entry, sizeof entry, "%f,", static_cast<double>(w));
        setem.wavelengthText += entry;
    }
}

}  // namespace

Sensor* g_sensor = nullptr;

bool Sensor::Initialize() {
    rxData = GetRxBuffer();
    SensorInfo setem;
    const bool complete = ReadInfo(setem);
    info = std::move(setem);
    return complete;
}

bool Sensor::ReadInfo(SensorInfo& setem) {
    if (!IsTransportReady()) {
        return false;
    }

    int64_t result = SendQuery(CMD_GET_IDENT);
    if (!IsPayloadLength(result)) {
        return false;
    }
    const std::string text = ReadIdentText(rxData, result);
    std::cout << text << std::endl;
    std::vector<std::string> strvec;
    SplitString(text, strvec, kIdentDelimiter);
    if (!strvec.empty()) {
        setem.identField1 = strvec[0];
    }
    if (strvec.size() >= 2) {
        setem.identField2 = strvec[1];
    }

    result = SendQuery(CMD_GET_BANDNUMBER);
    if (!IsPayloadLength(result)) {
        return false;
    }
    const int32_t bandnumber =
        DecodeBigEndianInt32(rxData, std::min(static_cast<size_t>(result), kBandCountSize));
    if (bandnumber < 0 || bandnumber > kMaxBands) {
        return false;
    }
    setem.bandnumber = bandnumber;
    setem.maxValue = kFullScale;

    result = SendQuery(CMD_GET_COEFF);
    if (!IsPayloadLength(result) || static_cast<size_t>(result) < kCoeffPayloadSize) {
        return false;
    }
    double a[kCoefficientCount];
    for (int k = 0; k < kCoefficientCount; ++k) {
        a[k] = DecodeBigEndianDouble(rxData + k * kDoubleSize);
    }
    PrintCoefficients(a);
    for (int k = 0; k < kCoefficientCount; ++k) {
        setem.coeff[k] = static_cast<float>(a[k]);
    }
    FillWavelengths(setem, a);
    return true;
}

}  // namespace kq7
