/* SPDX-License-Identifier: MIT */
// What a writer of spectrum files is given: the axis, the values and what
// they are, and how they were taken as key/value pairs. Every format writes
// these same pairs in its own way (CSV `# key: value` lines, JCAMP-DX `##$`
// records, HDF5 attributes), so a sink fills one record for all of them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kq7/measure/measurement_mode.h"

namespace kq7tool {

// Keys as kq7's CSV files name them ("serial", "shutter_value", ...), in
// the order they are written.
using MetadataFields = std::vector<std::pair<std::string, std::string>>;

// The value of `key`, or "" when absent.
std::string FieldValue(const MetadataFields& fields, const std::string& key);

// What stays the same for every spectrum of a run.
struct SpectrumHeader {
    std::string title;
    std::vector<double> wavelengthsNm;  // band n (from 1) is entry n - 1
    Quantity quantity = Quantity::Counts;
    MetadataFields metadata;
};

struct SpectrumRecord {
    SpectrumHeader header;
    std::vector<double> values;  // one per band; NaN where invalid
};

}  // namespace kq7tool
