/* SPDX-License-Identifier: MIT */
#include "kq7/commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "kq7/console.h"
#include "kq7/csv_writer.h"
#include "kq7/failure.h"
#include "kq7/host_link.h"
#include "kq7/spectrum.h"
#include "kq7/svg_plot.h"
#include "nerb_kq7lib.h"

namespace kq7tool {

namespace {

constexpr int kShutterClosed = 0;
constexpr int kShutterOpen = 1;

std::string Printf(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

SensorInfoC Identify() {
    if (KQ7SensorInit() == 1) {
        return KQ7Get_SensorInfo();
    }
    if (BytesFromSensor() == 0) {
        throw Failure(kExitNoAnswer, "no answer from the sensor");
    }
    throw Failure(kExitIdentFailed, "identification failed: the sensor's replies were not usable");
}

std::string Identity(const SensorInfoC& info) {
    return std::string(info.identField1) + "-" + info.identField2;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary);
    file << content;
    file.close();
    if (!file) {
        throw Failure(kExitFailure, "cannot write " + path);
    }
}

bool ToDataOutput(const std::string& path) { return path == "-"; }

// The CSV to its file or ("-") the data output, the plot to its file; an
// empty path writes nothing.
void WriteSpectrum(const Spectrum& spectrum, const SpectrumOutput& output) {
    if (ToDataOutput(output.csvPath)) {
        WriteData(SpectrumCsv(spectrum));
    } else if (!output.csvPath.empty()) {
        WriteFile(output.csvPath, SpectrumCsv(spectrum));
    }
    if (!output.svgPath.empty()) {
        WriteFile(output.svgPath, SpectrumSvg(spectrum));
    }
}

// "peak 57012 counts at 546.4 nm (87.0 % of full scale)"
std::string PeakSummary(const Spectrum& spectrum, const SensorInfoC& info) {
    if (spectrum.counts.empty()) {
        return "no bands";
    }
    const auto peak = std::max_element(spectrum.counts.begin(), spectrum.counts.end());
    const size_t band = static_cast<size_t>(peak - spectrum.counts.begin());
    return Printf("peak %.6g counts at %.1f nm (%.1f %% of full scale)", *peak, spectrum.wavelengthsNm[band],
                  100.0 * *peak / std::max(info.maxValue, 1));
}

void SetShutter(int state) {
    const uint64_t before = BytesFromSensor();
    KQ7SetShutterOpen(state);
    if (BytesFromSensor() == before) {
        throw Failure(kExitNoAnswer, "no answer to the shutter command");
    }
}

}  // namespace

void RunInfo() {
    const SensorInfoC info = Identify();
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

void RunCapture(const CaptureOptions& options) {
    const SensorInfoC info = Identify();
    Spectrum spectrum;
    spectrum.wavelengthsNm = Wavelengths(info);
    spectrum.title = Identity(info) + ", shutter value " + std::to_string(options.shutter);
    if (options.dark) {
        SetShutter(kShutterClosed);
        std::vector<double> dark;
        try {
            dark = CaptureMean(info, options.shutter, options.average);
        } catch (const Failure&) {
            // A shutter left closed would make every later capture dark.
            KQ7SetShutterOpen(kShutterOpen);
            throw;
        }
        SetShutter(kShutterOpen);
        spectrum.counts = SubtractDark(CaptureMean(info, options.shutter, options.average), dark);
        spectrum.title += ", dark subtracted";
    } else {
        spectrum.counts = CaptureMean(info, options.shutter, options.average);
    }
    if (options.average > 1) {
        spectrum.title += ", mean of " + std::to_string(options.average);
    }
    // Without a file the CSV is the command's data output.
    SpectrumOutput output = options.output;
    if (output.csvPath.empty()) {
        output.csvPath = "-";
    }
    WriteSpectrum(spectrum, output);
    if (!ToDataOutput(output.csvPath)) {
        WriteData("captured " + std::to_string(spectrum.counts.size()) + " bands at shutter value " +
                  std::to_string(options.shutter) + ", " + PeakSummary(spectrum, info) + "\n");
    }
}

void RunAuto(int percent, const SpectrumOutput& output) {
    const SensorInfoC info = Identify();
    const int shutter = KQ7OptSnenser(percent);
    if (shutter == 0) {
        throw Failure(kExitCaptureFailed, "automatic exposure failed: a capture failed");
    }
    // With the CSV on the data output the report goes to standard error, so
    // that the data output stays a clean CSV.
    const auto report = [&output](const std::string& text) {
        if (ToDataOutput(output.csvPath)) {
            std::fputs(text.c_str(), stderr);
        } else {
            WriteData(text);
        }
    };
    report("shutter value: " + std::to_string(shutter) + "\n");
    if (output.csvPath.empty() && output.svgPath.empty()) {
        return;
    }
    Spectrum spectrum;
    spectrum.wavelengthsNm = Wavelengths(info);
    spectrum.counts = CaptureMean(info, shutter, 1);
    spectrum.title = Identity(info) + ", shutter value " + std::to_string(shutter) + " (automatic, " +
                     std::to_string(percent) + " %)";
    WriteSpectrum(spectrum, output);
    report(PeakSummary(spectrum, info) + "\n");
}

void RunShutter(bool open) {
    Identify();
    SetShutter(open ? kShutterOpen : kShutterClosed);
    WriteData(open ? "shutter open\n" : "shutter closed\n");
}

void RunCoeff(const std::array<double, 4>& coefficients) {
    Identify();
    if (KQ7SetWeaveLenthCoeff(coefficients.data(), static_cast<int>(coefficients.size())) != 1) {
        throw Failure(kExitNotAcknowledged, "the sensor did not acknowledge the coefficients");
    }
    WriteData("coefficients written; the sensor reports them at its next identification\n");
}

}  // namespace kq7tool
