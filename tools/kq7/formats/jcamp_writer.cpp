/* SPDX-License-Identifier: MIT */
#include "kq7/formats/jcamp_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "kq7/failure.h"
#include "kq7/formats/whole_file.h"

namespace kq7tool {

namespace {

// JCAMP-DX's names for the y units; counts have none of their own.
const char* YUnits(Quantity quantity) {
    switch (quantity) {
        case Quantity::Transmittance:
            return "TRANSMITTANCE";
        case Quantity::Absorbance:
            return "ABSORBANCE";
        case Quantity::Reflectance:
            return "REFLECTANCE";
        case Quantity::Counts:
            break;
    }
    return "ARBITRARY UNITS";
}

std::string Number(const char* format, double value) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A record's value is one line: a line end in a value would start a record.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

std::string UserLabel(const std::string& key) {
    std::string label = key;
    for (char& c : label) {
        c = c == '_' ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return label;
}

// "2026-12-09T11:30:00Z" as ##LONGDATE wants it: "2026/12/09 11:30:00 +0000";
// empty for anything else.
std::string LongDate(const std::string& iso) {
    if (iso.size() < 20 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T' || iso.back() != 'Z') {
        return "";
    }
    return iso.substr(0, 4) + "/" + iso.substr(5, 2) + "/" + iso.substr(8, 2) + " " + iso.substr(11, 8) + " +0000";
}

}  // namespace

std::string JcampText(const SpectrumRecord& record) {
    const SpectrumHeader& header = record.header;
    std::vector<size_t> valid;
    for (size_t i = 0; i < record.values.size() && i < header.wavelengthsNm.size(); ++i) {
        if (std::isfinite(record.values[i])) {
            valid.push_back(i);
        }
    }
    const auto x = [&](size_t k) { return Number("%.3f", header.wavelengthsNm[valid[k]]); };
    const auto y = [&](size_t k) { return Number("%.9g", record.values[valid[k]]); };
    const std::string model = FieldValue(header.metadata, "model");
    const std::string serial = FieldValue(header.metadata, "serial");
    const std::string version = FieldValue(header.metadata, "kq7_version");

    std::string text = "##TITLE=" + OneLine(header.title) + "\n";
    text += "##JCAMP-DX=5.01\n";
    text += "##DATA TYPE=UV/VIS SPECTRUM\n";
    text += "##DATA CLASS=XYPOINTS\n";
    text += "##ORIGIN=" + OneLine("kq7 " + version) + "\n";
    text += "##OWNER=\n";
    const std::string date = LongDate(FieldValue(header.metadata, "time"));
    if (!date.empty()) {
        text += "##LONGDATE=" + date + "\n";
    }
    text += "##SPECTROMETER/DATA SYSTEM=" + OneLine(model + " " + serial) + "\n";
    text += "##XUNITS=NANOMETERS\n";
    text += std::string("##YUNITS=") + YUnits(header.quantity) + "\n";
    text += "##XFACTOR=1\n##YFACTOR=1\n";
    if (!valid.empty()) {
        text += "##FIRSTX=" + x(0) + "\n##LASTX=" + x(valid.size() - 1) + "\n##FIRSTY=" + y(0) + "\n";
    }
    text += "##NPOINTS=" + std::to_string(valid.size()) + "\n";
    text += std::string("##$QUANTITY=") + QuantityName(header.quantity) + "\n";
    for (const auto& [key, value] : header.metadata) {
        // Said above, from the header, for counts too.
        if (key == "quantity") {
            continue;
        }
        text += "##$" + OneLine(UserLabel(key)) + "=" + OneLine(value) + "\n";
    }
    text += "##$INVALID BANDS=" + std::to_string(record.values.size() - valid.size()) + "\n";
    text += "##XYPOINTS=(XY..XY)\n";
    for (size_t k = 0; k < valid.size(); ++k) {
        text += x(k) + "," + y(k) + "\n";
    }
    text += "##END=\n";
    return text;
}

void WriteJcampFile(const std::string& path, const SpectrumRecord& record) {
    const std::string text = JcampText(record);
    WriteWholeFile(path, false, [&](const std::string& partial) {
        // Binary: the same bytes on every system.
        errno = 0;
        std::ofstream file(partial, std::ios::binary);
        file << text;
        file.close();
        if (!file) {
            throw Failure(kExitFailure, "cannot write " + path + ": " + std::strerror(errno != 0 ? errno : EIO));
        }
    });
}

}  // namespace kq7tool
