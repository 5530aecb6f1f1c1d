/* SPDX-License-Identifier: MIT */
// The payload of PREFIX/SERIAL/spectrum, in JSON or in the binary layout of
// docs/publishing.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kq7publish {

enum class PayloadFormat { Json, Binary };

struct SpectrumMessage {
    uint64_t timeMs = 0;    // UTC, milliseconds since 1970-01-01
    uint64_t sequence = 0;  // from the publisher's start; a gap is a lost spectrum
    int shutter = 0;
    int averages = 1;  // captures averaged into each value
    bool darkSubtracted = false;
    int saturatedBands = 0;  // bands at full scale in any of the captures
    std::vector<double> counts;  // band 1 first
};

std::string EncodeSpectrum(const SpectrumMessage& spectrum, PayloadFormat format);

// Either format (a binary payload starts with "KQ7S"). Empty when `payload`
// was read into `spectrum`, else the reason.
std::string DecodeSpectrum(const std::string& payload, SpectrumMessage& spectrum);

}  // namespace kq7publish
