/* SPDX-License-Identifier: MIT */
#include "kq7/formats/csv.h"

#include <cmath>
#include <cstdio>

#include "kq7/coefficients.h"
#include "kq7/utc_time.h"
#include "kq7/versions.h"

namespace kq7tool {

namespace {

const char* YesNo(bool value) { return value ? "yes" : "no"; }

// Counts are whole numbers unless averaged or dark-subtracted; %g writes them
// without a fraction then.
// NaN (an invalid band) is an empty field.
std::string CountsText(double counts) {
    if (std::isnan(counts)) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", counts);
    return text;
}

std::string WavelengthText(double nm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", nm);
    return text;
}

}  // namespace

CsvMetadata MetadataFor(const SensorInfoC& info, const std::string& port, bool virtualSensor) {
    CsvMetadata metadata;
    metadata.timeUtc = UtcTimestamp(std::chrono::system_clock::now());
    metadata.port = port;
    metadata.virtualSensor = virtualSensor;
    metadata.model = info.identField1;
    metadata.serial = info.identField2;
    for (size_t k = 0; k < metadata.coefficients.size(); ++k) {
        metadata.coefficients[k] = info.coeff[k];
    }
    metadata.kq7Version = Kq7Version();
    metadata.libraryVersion = LibraryVersion();
    return metadata;
}

MetadataFields MetadataFieldsOf(const CsvMetadata& metadata) {
    MetadataFields fields = {
        {"time", metadata.timeUtc},
        {"port", metadata.port},
        {"virtual_sensor", YesNo(metadata.virtualSensor)},
        {"model", metadata.model},
        {"serial", metadata.serial},
        {"shutter_value", std::to_string(metadata.shutter)},
        {"averages", std::to_string(metadata.averages)},
        {"dark_subtracted", YesNo(metadata.darkSubtracted)},
        {"coefficients", CoefficientsText(metadata.coefficients)},
        {"kq7_version", metadata.kq7Version},
        {"library_version", metadata.libraryVersion},
    };
    if (metadata.quantity != Quantity::Counts) {
        fields.emplace_back("quantity", QuantityName(metadata.quantity));
    }
    if (metadata.boxcarHalfWidth > 0) {
        fields.emplace_back("boxcar_half_width", std::to_string(metadata.boxcarHalfWidth));
    }
    fields.insert(fields.end(), metadata.reference.begin(), metadata.reference.end());
    return fields;
}

void WriteMetadata(std::ostream& out, const CsvMetadata& metadata) {
    for (const auto& [key, value] : MetadataFieldsOf(metadata)) {
        out << "# " << key << ": " << value << "\n";
    }
}

std::string CountsColumn(const CsvMetadata& metadata) {
    if (metadata.quantity != Quantity::Counts) {
        return QuantityName(metadata.quantity);
    }
    if (metadata.darkSubtracted) {
        return "dark_subtracted_counts";
    }
    return metadata.averages > 1 ? "mean_counts" : "counts";
}

void WriteSpectrumCsv(std::ostream& out, const Spectrum& spectrum, const CsvMetadata& metadata, bool withMetadata) {
    if (withMetadata) {
        WriteMetadata(out, metadata);
    }
    out << "band,wavelength_nm," << CountsColumn(metadata) << "\n";
    for (size_t i = 0; i < spectrum.counts.size() && i < spectrum.wavelengthsNm.size(); ++i) {
        out << i + 1 << "," << WavelengthText(spectrum.wavelengthsNm[i]) << "," << CountsText(spectrum.counts[i])
            << "\n";
    }
}

void WriteStreamHeader(std::ostream& out, const std::vector<double>& wavelengthsNm) {
    out << "time,shutter_value";
    for (double nm : wavelengthsNm) {
        out << "," << WavelengthText(nm);
    }
    out << "\n";
    out.flush();
}

void WriteStreamRow(std::ostream& out, const std::string& timeUtc, int shutter, const std::vector<double>& counts) {
    out << timeUtc << "," << shutter;
    for (double value : counts) {
        out << "," << CountsText(value);
    }
    out << "\n";
    out.flush();
}

}  // namespace kq7tool
