/* SPDX-License-Identifier: MIT */
#include "kq7/commands/spectrum_output.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "kq7/console.h"
#include "kq7/diagnostics.h"
#include "kq7/distinct_files.h"
#include "kq7/formats/file_format.h"
#include "kq7/formats/jcamp_writer.h"
#include "kq7/formats/nexus_writer.h"
#include "kq7/formats/svg.h"
#include "kq7/output_paths.h"

namespace kq7tool {

void AddSpectrumOutput(CLI::App& command, SpectrumOutput& output, bool& strict) {
    command.add_option("-o,--output", output.csvPath, "Write the spectrum to this file: CSV ('-': standard output), JCAMP-DX (.jdx) or HDF5/NeXus (.h5)");
    command.add_option("--plot", output.svgPath, "Write an SVG plot of the spectrum to this file");
    command.add_flag("!--no-metadata", output.metadata, "Leave out the '# key: value' lines ahead of the CSV header");
    command.add_flag("--strict", strict, "Fail (exit 7 or 8) on a saturated spectrum or an exposure out of range");
}

bool ToDataOutput(const std::string& path) { return path == "-"; }

void CheckOutputs(const SpectrumOutput& output, const SensorPlace& place, const std::string& referencePath) {
    CheckDistinctFiles({{"-o", output.csvPath}, {"--plot", output.svgPath}, {"--reference", referencePath}}, place);
    if (FormatOf(output.csvPath) == FileFormat::Nexus) {
        CheckNexusPath(output.csvPath);
    }
    CheckWritable(output.csvPath);
    CheckWritable(output.svgPath);
}

void WriteSpectrum(const Spectrum& spectrum, const CsvMetadata& metadata, const SpectrumOutput& output) {
    const FileFormat format = FormatOf(output.csvPath);
    if (format != FileFormat::Csv) {
        SpectrumRecord record;
        record.header.title = spectrum.title;
        record.header.wavelengthsNm = spectrum.wavelengthsNm;
        record.header.quantity = metadata.quantity;
        record.header.metadata = MetadataFieldsOf(metadata);
        record.values = spectrum.counts;
        if (format == FileFormat::Jcamp) {
            WriteJcampFile(output.csvPath, record);
        } else {
            WriteNexusFile(output.csvPath, record);
        }
    } else if (!output.csvPath.empty()) {
        std::ostringstream csv;
        WriteSpectrumCsv(csv, spectrum, metadata, output.metadata);
        if (ToDataOutput(output.csvPath)) {
            WriteData(csv.str());
        } else {
            WriteFile(output.csvPath, csv.str());
        }
    }
    if (!output.svgPath.empty()) {
        WriteFile(output.svgPath, SpectrumSvg(spectrum));
    }
}

std::string Identity(const SensorInfoC& info) { return std::string(info.identField1) + "-" + info.identField2; }

CsvMetadata MetadataOf(const Sensor& sensor) {
    return MetadataFor(sensor.Info(), sensor.Place().port, sensor.Place().virtualSensor);
}

std::string PeakSummary(const Spectrum& spectrum, const SensorInfoC& info) {
    if (spectrum.counts.empty()) {
        return "no bands";
    }
    const auto peak = std::max_element(spectrum.counts.begin(), spectrum.counts.end());
    const size_t band = static_cast<size_t>(peak - spectrum.counts.begin());
    char text[200];
    std::snprintf(text, sizeof text, "peak %.6g counts at %.1f nm (%.1f %% of full scale)", *peak,
                  band < spectrum.wavelengthsNm.size() ? spectrum.wavelengthsNm[band] : 0.0, 100.0 * *peak / std::max(info.maxValue, 1));
    return text;
}

void Doubt(const std::string& problem, ExitStatus status, bool strict) {
    if (strict) {
        throw Failure(status, problem);
    }
    SayWarning(problem);
}

void CheckSaturation(const Acquisition& acquisition, const SensorInfoC& info, bool strict) {
    if (acquisition.saturatedBands > 0) {
        Doubt(std::to_string(acquisition.saturatedBands) + " of " + std::to_string(acquisition.counts.size()) +
                  " bands saturated (at full scale, " + std::to_string(info.maxValue) +
                  "): use a shorter shutter value",
              kExitSaturated, strict);
    }
}

}  // namespace kq7tool
