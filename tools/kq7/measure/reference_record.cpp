/* SPDX-License-Identifier: MIT */
#include "kq7/measure/reference_record.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "kq7/failure.h"

namespace kq7tool {

namespace {

constexpr const char* kKind = "reference";
constexpr const char* kHeader = "band,wavelength_nm,reference_counts,dark_counts,saturated";

// CRC-32 as zip and zlib compute it (reflected polynomial 0xEDB88320, initial
// and final value all ones), so that other tools can check the file too.
uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

std::string Number(const char* format, double value) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw Failure(kExitFailure, "reference " + path + ": " + reason);
}

// A whole decimal number, or nothing.
bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || parsed < -2147483647L || parsed > 2147483647L) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

int IntField(const MetadataFields& fields, const char* key, const std::string& path) {
    int value = 0;
    if (!ParseInt(FieldValue(fields, key), value)) {
        Refuse(path, std::string("no whole number in its '") + key + "' line");
    }
    return value;
}

std::vector<std::string> SplitCommas(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');) {
        fields.push_back(field);
    }
    return fields;
}

void ReadRow(const std::string& line, size_t expectedBand, ReferenceRecord& record, const std::string& path) {
    const std::vector<std::string> fields = SplitCommas(line);
    int band = 0;
    double nm = 0, light = 0, dark = 0;
    if (fields.size() != 5 || !ParseInt(fields[0], band) || static_cast<size_t>(band) != expectedBand ||
        !ParseDouble(fields[1], nm) || !ParseDouble(fields[2], light) || !ParseDouble(fields[3], dark) ||
        (fields[4] != "yes" && fields[4] != "no")) {
        Refuse(path, "row of band " + std::to_string(expectedBand) + " unreadable: '" + line + "'");
    }
    record.wavelengthsNm.push_back(nm);
    record.light.push_back(light);
    record.dark.push_back(dark);
    record.saturated.push_back(fields[4] == "yes");
}

}  // namespace

void WriteReferenceCsv(std::ostream& out, const MetadataFields& metadata, const ReferenceRecord& reference) {
    std::string data = std::string(kHeader) + "\n";
    for (size_t i = 0; i < reference.light.size() && i < reference.dark.size() && i < reference.wavelengthsNm.size();
         ++i) {
        const bool saturated = i < reference.saturated.size() && reference.saturated[i];
        data += std::to_string(i + 1) + "," + Number("%.3f", reference.wavelengthsNm[i]) + "," +
                Number("%.9g", reference.light[i]) + "," + Number("%.9g", reference.dark[i]) + "," +
                (saturated ? "yes" : "no") + "\n";
    }
    out << "# kind: " << kKind << "\n";
    for (const auto& [key, value] : metadata) {
        out << "# " << key << ": " << value << "\n";
    }
    out << "# data_crc32: " << Hex32(Crc32(data)) << "\n" << data;
    out.flush();
}

ReferenceRecord ReadReferenceCsv(std::istream& in, const std::string& path) {
    ReferenceRecord record;
    std::string data;
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (rows.empty() && line.rfind("# ", 0) == 0) {
            const size_t colon = line.find(": ", 2);
            if (colon == std::string::npos) {
                Refuse(path, "metadata line without 'key: value': '" + line + "'");
            }
            record.metadata.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
            continue;
        }
        data += line + "\n";
        rows.push_back(line);
    }
    if (FieldValue(record.metadata, "kind") != kKind) {
        Refuse(path, "not a reference file (no '# kind: reference' line): take one with kq7 reference");
    }
    if (FieldValue(record.metadata, "data_crc32") != Hex32(Crc32(data))) {
        Refuse(path, "its rows are not as written (truncated or edited): take the reference again");
    }
    if (rows.empty() || rows.front() != kHeader) {
        Refuse(path, std::string("no header row '") + kHeader + "'");
    }
    record.serial = FieldValue(record.metadata, "serial");
    record.shutter = IntField(record.metadata, "shutter_value", path);
    record.averages = IntField(record.metadata, "averages", path);
    for (size_t i = 1; i < rows.size(); ++i) {
        ReadRow(rows[i], i, record, path);
    }
    return record;
}

ReferenceUse CheckReference(const ReferenceRecord& reference, const MeasurementSettings& settings,
                            const std::string& path, bool acceptShutterScaling) {
    if (reference.serial != settings.serial) {
        Refuse(path, "taken with sensor '" + reference.serial + "', not with this one ('" + settings.serial + "')");
    }
    if (reference.light.size() != static_cast<size_t>(settings.bands)) {
        Refuse(path, "has " + std::to_string(reference.light.size()) + " bands, the sensor " +
                         std::to_string(settings.bands));
    }
    if (reference.averages != settings.averages) {
        Refuse(path, "averages " + std::to_string(reference.averages) + " captures, this measurement " +
                         std::to_string(settings.averages));
    }
    ReferenceUse use;
    use.metadata = {{"reference_time", FieldValue(reference.metadata, "time")},
                    {"reference_shutter_value", std::to_string(reference.shutter)}};
    if (reference.shutter != settings.shutter) {
        if (!acceptShutterScaling || reference.shutter <= 0) {
            Refuse(path, "taken at shutter value " + std::to_string(reference.shutter) + ", this measurement at " +
                             std::to_string(settings.shutter) +
                             " (accepting it scales the reference by the ratio of the two)");
        }
        use.scale = static_cast<double>(settings.shutter) / reference.shutter;
        use.metadata.emplace_back("reference_scaled_by", Number("%.9g", use.scale));
    }
    bool lit = false;
    for (size_t i = 0; i < reference.light.size() && i < reference.dark.size(); ++i) {
        lit = lit || (reference.light[i] - reference.dark[i]) * use.scale >= kMinReferenceLight;
    }
    if (!lit) {
        Refuse(path, "dark: no band has " + Number("%g", kMinReferenceLight) +
                         " counts of light above its dark (was the lamp on, the shutter open?)");
    }
    return use;
}

}  // namespace kq7tool
