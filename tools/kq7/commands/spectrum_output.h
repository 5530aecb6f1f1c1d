/* SPDX-License-Identifier: MIT */
// What the commands that write a spectrum share: the output options, the
// writing, the summary line and the doubts about a result.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "kq7/device/sensor.h"
#include "kq7/failure.h"
#include "kq7/formats/csv.h"
#include "kq7/spectrum.h"

namespace kq7tool {

// Where a spectrum goes: a file ("-" or empty: the data output as CSV) in
// the format its name says (FormatOf) and an SVG plot (empty: none).
struct SpectrumOutput {
    std::string csvPath;
    std::string svgPath;
    bool metadata = true;  // `# key: value` lines ahead of the CSV header
};

// -o, --plot, --no-metadata and --strict.
void AddSpectrumOutput(CLI::App& command, SpectrumOutput& output, bool& strict);

bool ToDataOutput(const std::string& path);
// Refuses outputs that are one file, or one with the reference read
// (kExitUsage), or cannot be written (an HDF5 file must not exist).
void CheckOutputs(const SpectrumOutput& output, const SensorPlace& place, const std::string& referencePath = {});
// The spectrum to its file or ("-") the data output, the plot to its file;
// an empty path writes nothing. The values are metadata.quantity.
void WriteSpectrum(const Spectrum& spectrum, const CsvMetadata& metadata, const SpectrumOutput& output);

// "KQ7-SIM00042"
std::string Identity(const SensorInfoC& info);
CsvMetadata MetadataOf(const Sensor& sensor);
// "peak 57012 counts at 546.4 nm (87.0 % of full scale)"
std::string PeakSummary(const Spectrum& spectrum, const SensorInfoC& info);

// A doubtful result: with `strict` the command fails with `status`,
// otherwise a warning goes to standard error and the command succeeds.
void Doubt(const std::string& problem, ExitStatus status, bool strict);
void CheckSaturation(const Acquisition& acquisition, const SensorInfoC& info, bool strict);

}  // namespace kq7tool
