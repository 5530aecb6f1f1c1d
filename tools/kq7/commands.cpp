/* SPDX-License-Identifier: MIT */
#include "kq7/commands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "kq7/console.h"
#include "kq7/csv_writer.h"
#include "kq7/failure.h"
#include "kq7/interrupt.h"
#include "kq7/output_paths.h"
#include "kq7/spectrum.h"
#include "kq7/svg_plot.h"
#include "kq7/utc_time.h"

namespace kq7tool {

namespace {

std::string Printf(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

std::string Identity(const SensorInfoC& info) {
    return std::string(info.identField1) + "-" + info.identField2;
}

bool ToDataOutput(const std::string& path) { return path == "-"; }

void CheckOutputs(const SpectrumOutput& output) {
    CheckWritable(output.csvPath);
    CheckWritable(output.svgPath);
}

// The CSV to its file or ("-") the data output, the plot to its file; an
// empty path writes nothing.
void WriteSpectrum(const Spectrum& spectrum, const CsvMetadata& metadata, const SpectrumOutput& output) {
    if (!output.csvPath.empty()) {
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

double PercentOfFullScale(double counts, const SensorInfoC& info) {
    return 100.0 * counts / std::max(info.maxValue, 1);
}

// "peak 57012 counts at 546.4 nm (87.0 % of full scale)"
std::string PeakSummary(const Spectrum& spectrum, const SensorInfoC& info) {
    if (spectrum.counts.empty()) {
        return "no bands";
    }
    const auto peak = std::max_element(spectrum.counts.begin(), spectrum.counts.end());
    const size_t band = static_cast<size_t>(peak - spectrum.counts.begin());
    return Printf("peak %.6g counts at %.1f nm (%.1f %% of full scale)", *peak, spectrum.wavelengthsNm[band],
                  PercentOfFullScale(*peak, info));
}

// A doubtful result: with `strict` the command fails with `status`,
// otherwise a warning goes to standard error and the command succeeds.
void Doubt(const std::string& problem, ExitStatus status, bool strict) {
    if (strict) {
        throw Failure(status, problem);
    }
    std::fprintf(stderr, "kq7: warning: %s\n", problem.c_str());
}

void CheckSaturation(const Acquisition& acquisition, const SensorInfoC& info, bool strict) {
    if (acquisition.saturatedBands > 0) {
        Doubt(std::to_string(acquisition.saturatedBands) + " of " + std::to_string(acquisition.counts.size()) +
                  " bands saturated (at full scale, " + std::to_string(info.maxValue) +
                  "): use a shorter shutter value",
              kExitSaturated, strict);
    }
}

// Closes the shutter for a dark capture and opens it again, also when the
// capture fails or Ctrl-C ends it.
class ClosedShutter {
public:
    explicit ClosedShutter(Sensor& sensor) : sensor_(sensor) { sensor_.SetShutter(false); }
    ~ClosedShutter() {
        if (closed_) {
            try {
                sensor_.SetShutter(true);
            } catch (const Failure&) {
                // The failure that got us here is the one to report.
            }
        }
    }
    ClosedShutter(const ClosedShutter&) = delete;
    ClosedShutter& operator=(const ClosedShutter&) = delete;

    void Open() {
        closed_ = false;
        sensor_.SetShutter(true);
    }

private:
    Sensor& sensor_;
    bool closed_ = true;
};

std::string OutOfRangeReason(int shutter) {
    if (shutter <= kShortestShutter) {
        return " (too bright even at the shortest shutter value)";
    }
    if (shutter >= kLongestShutter) {
        return " (too dark even at the longest shutter value)";
    }
    return " (the search did not settle)";
}

CsvMetadata MetadataOf(const Sensor& sensor) {
    return MetadataFor(sensor.Info(), sensor.Place().port, sensor.Place().virtualSensor);
}

}  // namespace

void RunInfo(Sensor& sensor) {
    const SensorInfoC& info = sensor.Identify();
    const std::vector<double> wavelengths = Wavelengths(info);
    std::string text = "identification: " + Identity(info) + "\n";
    text += std::string("model: ") + info.identField1 + "\n";
    text += std::string("serial: ") + info.identField2 + "\n";
    text += "bands: " + std::to_string(info.bandnumber) + "\n";
    text += "full scale: " + std::to_string(info.maxValue) + "\n";
    text += Printf("coefficients: a0=%.6g a1=%.6g a2=%.6g", info.coeff[0], info.coeff[1], info.coeff[2]) +
            Printf(" a3=%.6g\n", info.coeff[3]);
    if (!wavelengths.empty()) {
        text += Printf("wavelength range: %.2f nm to %.2f nm\n", wavelengths.front(), wavelengths.back());
    }
    WriteData(text);
}

void RunCapture(Sensor& sensor, const CaptureOptions& options) {
    // Without a file the CSV is the command's data output.
    SpectrumOutput output = options.output;
    if (output.csvPath.empty()) {
        output.csvPath = "-";
    }
    CheckOutputs(output);
    const SensorInfoC& info = sensor.Identify();
    Spectrum spectrum;
    spectrum.wavelengthsNm = Wavelengths(info);
    spectrum.title = Identity(info) + ", shutter value " + std::to_string(options.shutter);
    Acquisition light;
    if (options.dark) {
        ClosedShutter shutter(sensor);
        const Acquisition dark = CaptureMean(sensor, options.shutter, options.average);
        shutter.Open();
        light = CaptureMean(sensor, options.shutter, options.average);
        spectrum.counts = SubtractDark(light.counts, dark.counts);
        spectrum.title += ", dark subtracted";
    } else {
        light = CaptureMean(sensor, options.shutter, options.average);
        spectrum.counts = light.counts;
    }
    if (options.average > 1) {
        spectrum.title += ", mean of " + std::to_string(options.average);
    }
    CsvMetadata metadata = MetadataOf(sensor);
    metadata.shutter = options.shutter;
    metadata.averages = options.average;
    metadata.darkSubtracted = options.dark;
    WriteSpectrum(spectrum, metadata, output);
    if (!ToDataOutput(output.csvPath)) {
        WriteData("captured " + std::to_string(spectrum.counts.size()) + " bands at shutter value " +
                  std::to_string(options.shutter) + ", " + PeakSummary(spectrum, info) + "\n");
    }
    CheckSaturation(light, info, options.strict);
}

void RunAuto(Sensor& sensor, const AutoOptions& options) {
    const SpectrumOutput& output = options.output;
    CheckOutputs(output);
    const SensorInfoC& info = sensor.Identify();
    const Sensor::Exposure exposure = sensor.AutoExposure(options.percent);
    // With the CSV on the data output the report goes to standard error, so
    // that the data output stays a clean CSV.
    const auto report = [&output](const std::string& text) {
        if (ToDataOutput(output.csvPath)) {
            std::fputs(text.c_str(), stderr);
        } else {
            WriteData(text);
        }
    };
    report("shutter value: " + std::to_string(exposure.shutter) + "\n");
    if (!output.csvPath.empty() || !output.svgPath.empty()) {
        Spectrum spectrum;
        spectrum.wavelengthsNm = Wavelengths(info);
        const Acquisition acquisition = CaptureMean(sensor, exposure.shutter, 1);
        spectrum.counts = acquisition.counts;
        spectrum.title = Identity(info) + ", shutter value " + std::to_string(exposure.shutter) + " (automatic, " +
                         std::to_string(options.percent) + " %)";
        CsvMetadata metadata = MetadataOf(sensor);
        metadata.shutter = exposure.shutter;
        WriteSpectrum(spectrum, metadata, output);
        report(PeakSummary(spectrum, info) + "\n");
        CheckSaturation(acquisition, info, options.strict);
    }
    if (!exposure.inRange) {
        Doubt("the exposure search ran out of range: it ended at shutter value " + std::to_string(exposure.shutter) +
                  " without a peak at " + std::to_string(options.percent) + " % of full scale" +
                  OutOfRangeReason(exposure.shutter),
              kExitOutOfRange, options.strict);
    }
}

void RunStream(Sensor& sensor, const StreamOptions& options) {
    CheckWritable(options.csvPath);
    const SensorInfoC& info = sensor.Identify();
    std::ofstream file(options.csvPath, std::ios::binary);
    if (!file) {
        CannotWrite(options.csvPath, errno);
    }
    CsvMetadata metadata = MetadataOf(sensor);
    metadata.shutter = options.shutter;
    if (options.metadata) {
        WriteMetadata(file, metadata);
    }
    WriteStreamHeader(file, Wavelengths(info));
    int written = 0;
    int saturatedRows = 0;
    try {
        using std::chrono::system_clock;
        for (; written < options.count && !Interrupted(); ++written) {
            const system_clock::time_point start = system_clock::now();
            const Acquisition acquisition = CaptureMean(sensor, options.shutter, 1);
            WriteStreamRow(file, UtcTimestamp(start, true), options.shutter, acquisition.counts);
            if (!file) {
                CannotWrite(options.csvPath, errno);
            }
            saturatedRows += acquisition.saturatedBands > 0 ? 1 : 0;
            if (written + 1 < options.count) {
                const double spent = std::chrono::duration<double>(system_clock::now() - start).count();
                PauseUnlessInterrupted(options.intervalSeconds - spent);
            }
        }
    } catch (const Failure& failure) {
        if (failure.Status() != kExitInterrupted) {
            throw;
        }
    }
    if (Interrupted()) {
        throw Failure(kExitInterrupted, "interrupted after " + std::to_string(written) + " of " +
                                            std::to_string(options.count) + " spectra; " + options.csvPath +
                                            " holds them");
    }
    WriteData("wrote " + std::to_string(written) + " spectra to " + options.csvPath + "\n");
    if (saturatedRows > 0) {
        Doubt(std::to_string(saturatedRows) + " of " + std::to_string(written) +
                  " spectra saturated (a band at full scale): use a shorter shutter value",
              kExitSaturated, options.strict);
    }
}

void RunShutter(Sensor& sensor, bool open) {
    sensor.Identify();
    sensor.SetShutter(open);
    WriteData(open ? "shutter open\n" : "shutter closed\n");
}

void RunCoeff(Sensor& sensor, const std::optional<Coefficients>& coefficients, const CoefficientWriteOptions& options) {
    if (!coefficients) {
        WriteData("coefficients: " + CoefficientsLine(CurrentCoefficients(sensor.Identify())) + "\n");
        return;
    }
    // Values that no band count makes usable are refused before the sensor is asked.
    const std::string problem = CoefficientProblem(*coefficients, 0);
    if (!problem.empty()) {
        throw Failure(kExitUsage, "coefficients refused: " + problem);
    }
    sensor.Identify();
    WriteCoefficientsSafely(sensor, *coefficients, options);
    WriteData("coefficients written; the sensor reports them at its next identification\n");
}

}  // namespace kq7tool
