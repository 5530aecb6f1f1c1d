/* SPDX-License-Identifier: MIT */
// A reference spectrum on file: the light of the blank or white standard and
// the dark taken at the same settings, in kq7's CSV with metadata. A check
// sum over the rows tells a truncated or hand-edited file from a good one.
//
//   # kind: reference
//   # serial: KQ7-SIM00042           (the fields of a capture's CSV)
//   # shutter_value: 100
//   # averages: 4
//   # data_crc32: 89abcdef           (CRC-32 of the lines below, each with "\n")
//   band,wavelength_nm,reference_counts,dark_counts,saturated
//   1,340.800,1234.5,1001.25,no
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "kq7/formats/spectrum_record.h"

namespace kq7tool {

struct ReferenceRecord {
    MetadataFields metadata;  // as read, "kind" and "data_crc32" included
    std::string serial;
    int shutter = 0;
    int averages = 1;
    std::vector<double> wavelengthsNm;
    std::vector<double> light;  // mean counts
    std::vector<double> dark;   // mean counts at the same settings
    std::vector<bool> saturated;
};

// The file: "# kind: reference", `metadata` (which must hold serial,
// shutter_value and averages), the check sum, the header row and the rows.
// The record's serial, shutter and averages are not written twice: the
// metadata carries them.
void WriteReferenceCsv(std::ostream& out, const MetadataFields& metadata, const ReferenceRecord& reference);

// Reads a reference file. Throws Failure naming `path` and the reason: not
// a reference, a field missing or unreadable, rows missing, out of order or
// changed since written. Windows line ends are read as well.
ReferenceRecord ReadReferenceCsv(std::istream& in, const std::string& path);

// How the measurement at hand is taken.
struct MeasurementSettings {
    std::string serial;
    int bands = 0;
    int shutter = 0;
    int averages = 1;
};

struct ReferenceUse {
    // Multiplies the reference light (see ComputeMode): the measurement's
    // shutter value over the reference's, 1 unless scaling was accepted.
    double scale = 1.0;
    MetadataFields metadata;  // what the measurement's file says of it
};

// Throws Failure with the reason unless `reference` fits `settings`: same
// sensor, band count, shutter value (another one only with
// `acceptShutterScaling`, then scaled by the ratio) and averaging, and light
// in at least one band (a reference taken with the lamp off is refused).
ReferenceUse CheckReference(const ReferenceRecord& reference, const MeasurementSettings& settings,
                            const std::string& path, bool acceptShutterScaling);

}  // namespace kq7tool
