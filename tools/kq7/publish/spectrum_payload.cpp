/* SPDX-License-Identifier: MIT */
#include "kq7/publish/spectrum_payload.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "kq7/publish/binary_fields.h"
#include "kq7/publish/json_fields.h"
#include "kq7/publish/publish_limits.h"

namespace kq7publish {

namespace {

// The binary header: magic, layout, flags, band count, time, sequence,
// shutter, averages, saturated bands; 32 bytes, then 4 bytes per band.
constexpr char kMagic[] = "KQ7S";
constexpr uint8_t kLayout = 1;
constexpr uint8_t kFlagDarkSubtracted = 0x01;
constexpr std::size_t kHeaderBytes = 32;

std::string EncodeBinary(const SpectrumMessage& s) {
    std::string out;
    out.reserve(kHeaderBytes + 4 * s.counts.size());
    LittleEndianWriter w(out);
    for (int i = 0; i < 4; ++i) {
        w.U8(static_cast<uint8_t>(kMagic[i]));
    }
    w.U8(kLayout);
    w.U8(s.darkSubtracted ? kFlagDarkSubtracted : 0);
    w.U16(static_cast<uint16_t>(s.counts.size()));
    w.U64(s.timeMs);
    w.U64(s.sequence);
    w.U32(static_cast<uint32_t>(s.shutter));
    w.U16(static_cast<uint16_t>(s.averages));
    w.U16(static_cast<uint16_t>(s.saturatedBands));
    for (double value : s.counts) {
        w.F32(static_cast<float>(value));
    }
    return out;
}

std::string DecodeBinary(const std::string& payload, SpectrumMessage& s) {
    LittleEndianReader r(payload);
    r.U32();  // the magic, checked by the caller
    const uint8_t layout = r.U8();
    const uint8_t flags = r.U8();
    const uint16_t bands = r.U16();
    s.timeMs = r.U64();
    s.sequence = r.U64();
    s.shutter = static_cast<int>(r.U32());
    s.averages = r.U16();
    s.saturatedBands = r.U16();
    if (!r.Ok()) {
        return "a binary spectrum of " + std::to_string(payload.size()) + " bytes, shorter than its header";
    }
    if (layout != kLayout) {
        return "binary spectrum layout " + std::to_string(layout) + ", not " + std::to_string(kLayout);
    }
    if (r.Left() != 4u * bands) {
        return "a binary spectrum of " + std::to_string(bands) + " bands with " + std::to_string(r.Left()) +
               " bytes of counts, not " + std::to_string(4u * bands);
    }
    s.darkSubtracted = (flags & kFlagDarkSubtracted) != 0;
    s.counts.resize(bands);
    for (double& value : s.counts) {
        value = r.F32();
    }
    return "";
}

std::string DecodeJson(const std::string& payload, SpectrumMessage& s) {
    JsonFields fields(payload, "spectrum", kMaxSensorMessageBytes);
    fields.Unsigned("time_ms", s.timeMs);
    fields.Unsigned("sequence", s.sequence);
    fields.Whole("shutter", s.shutter, 0, std::numeric_limits<int>::max());
    fields.Whole("averages", s.averages, 1, std::numeric_limits<int>::max());
    fields.Flag("dark_subtracted", s.darkSubtracted);
    fields.Whole("saturated_bands", s.saturatedBands, 0, std::numeric_limits<int>::max());
    fields.Numbers("counts", s.counts);
    return fields.Reason();
}

}  // namespace

std::string EncodeSpectrum(const SpectrumMessage& s, PayloadFormat format) {
    if (format == PayloadFormat::Binary) {
        return EncodeBinary(s);
    }
    return JsonText(nlohmann::json{{"time_ms", s.timeMs},
                          {"sequence", s.sequence},
                          {"shutter", s.shutter},
                          {"averages", s.averages},
                          {"dark_subtracted", s.darkSubtracted},
                          {"saturated_bands", s.saturatedBands},
                          {"counts", s.counts}});
}

std::string DecodeSpectrum(const std::string& payload, SpectrumMessage& spectrum) {
    if (payload.compare(0, 4, kMagic) == 0) {
        return DecodeBinary(payload, spectrum);
    }
    return DecodeJson(payload, spectrum);
}

}  // namespace kq7publish
