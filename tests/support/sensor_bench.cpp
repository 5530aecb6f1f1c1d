/* SPDX-License-Identifier: MIT */
#include "support/sensor_bench.h"

#include <cstring>
#include <sstream>

#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "support/console_capture.h"

namespace kq7::test {

Bytes BigEndianInt32(int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    return {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
            static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

Bytes BigEndianDouble(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes bytes;
    for (int shift = 56; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(bits >> shift));
    }
    return bytes;
}

Bytes CoefficientPayload(const Coefficients& a) {
    Bytes payload;
    for (double value : a) {
        payload = Concat(payload, BigEndianDouble(value));
    }
    return payload;
}

Bytes SpectrumPayload(const std::vector<uint16_t>& samples) {
    Bytes payload;
    for (uint16_t sample : samples) {
        payload.push_back(static_cast<uint8_t>(sample & 0xFF));
        payload.push_back(static_cast<uint8_t>(sample >> 8));
    }
    return payload;
}

Bytes TextPayload(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::vector<std::string> LinesStartingWith(const std::string& console, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream stream(console);
    std::string line;
    while (std::getline(stream, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

void QueueIdentification(ScriptedHost& host, const std::string& ident, int32_t bands, const Coefficients& coeffs) {
    host.QueueReply(Frame(CMD_GET_IDENT, TextPayload(ident)));
    host.QueueReply(Frame(CMD_GET_BANDNUMBER, BigEndianInt32(bands)));
    host.QueueReply(Frame(CMD_GET_COEFF, CoefficientPayload(coeffs)));
}

int SensorBench::Identify(const std::string& ident, int32_t bands, const Coefficients& coeffs) {
    QueueIdentification(host, ident, bands, coeffs);
    ConsoleCapture console;
    return KQ7SensorInit();
}

std::vector<Bytes> SensorBench::WritesSince(size_t first) const {
    const std::vector<Bytes>& writes = host.Writes();
    return std::vector<Bytes>(writes.begin() + static_cast<std::ptrdiff_t>(std::min(first, writes.size())),
                              writes.end());
}

}  // namespace kq7::test
