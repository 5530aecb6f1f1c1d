/* SPDX-License-Identifier: MIT */
// kq7's CSV files: `# key: value` metadata lines, then a header row and the
// data rows. Readers that cannot skip comments get the file without the
// metadata lines (SpectrumCsv's `withMetadata`).
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "kq7/formats/spectrum_record.h"
#include "kq7/measure/measurement_mode.h"
#include "kq7/spectrum.h"
#include "nerb_kq7lib.h"

namespace kq7tool {

// What a spectrum file says about how it was taken.
struct CsvMetadata {
    std::string timeUtc;  // ISO 8601 UTC, e.g. "2026-12-09T11:30:00Z"
    std::string port;     // the port's path, or "sim"
    std::string model;
    std::string serial;
    int shutter = 0;
    int averages = 1;  // captures averaged into each value
    bool darkSubtracted = false;
    std::array<double, 4> coefficients{};  // a0 (cubic) to a3 (constant)
    std::string kq7Version;
    std::string libraryVersion;
    bool virtualSensor = false;  // made-up spectra from the built-in sensor
    Quantity quantity = Quantity::Counts;
    int boxcarHalfWidth = 0;  // 0: not smoothed
    MetadataFields reference{};  // how a reference was used (ReferenceUse)
};

// The fields that follow from the identification record: time (now),
// model, serial, coefficients and both versions; shutter 0, averages 1.
CsvMetadata MetadataFor(const SensorInfoC& info, const std::string& port, bool virtualSensor);

// The key/value pairs every kq7 file carries (CSV, JCAMP-DX, HDF5, the
// reference file). The quantity and the boxcar are named only when the
// values are not plain counts or were smoothed.
MetadataFields MetadataFieldsOf(const CsvMetadata& metadata);

// The `# key: value` lines, one per field of MetadataFieldsOf.
void WriteMetadata(std::ostream& out, const CsvMetadata& metadata);

// The name of the value column for what it holds: "counts", "mean_counts"
// or "dark_subtracted_counts"; for a measurement its quantity's name.
std::string CountsColumn(const CsvMetadata& metadata);

// The metadata lines (unless `withMetadata` is false), the header
// "band,wavelength_nm,<CountsColumn>" and one row per band, bands numbered
// from 1; an invalid band (NaN) has an empty value.
void WriteSpectrumCsv(std::ostream& out, const Spectrum& spectrum, const CsvMetadata& metadata,
                      bool withMetadata = true);

// The header of a stream file: "time,shutter_value" and the wavelength of
// every band.
void WriteStreamHeader(std::ostream& out, const std::vector<double>& wavelengthsNm);

// One spectrum of a stream file: its time (ISO 8601 UTC), shutter value and
// counts (empty where invalid), then a flush, so that a crash loses at most the row being written.
void WriteStreamRow(std::ostream& out, const std::string& timeUtc, int shutter, const std::vector<double>& counts);

}  // namespace kq7tool
