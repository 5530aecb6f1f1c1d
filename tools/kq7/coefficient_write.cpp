/* SPDX-License-Identifier: MIT */
#include "kq7/coefficient_write.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "kq7/console.h"
#include "kq7/csv_writer.h"
#include "kq7/failure.h"
#include "kq7/output_paths.h"
#include "kq7/spectrum.h"
#include "kq7/utc_time.h"

namespace kq7tool {

namespace {

// The calibration as the sensor will report it: in single precision.
SensorInfoC AsReported(const Coefficients& coefficients, int bands) {
    SensorInfoC info{};
    info.bandnumber = bands;
    for (size_t k = 0; k < coefficients.size(); ++k) {
        info.coeff[k] = static_cast<float>(coefficients[k]);
    }
    return info;
}

std::string RangeText(const Coefficients& coefficients, int bands) {
    const std::vector<double> nm = Wavelengths(AsReported(coefficients, bands));
    if (nm.empty()) {
        return "";
    }
    char text[80];
    std::snprintf(text, sizeof text, " (%.2f nm to %.2f nm)", nm.front(), nm.back());
    return text;
}

bool AskOnTerminal(const std::string& question) {
    if (isatty(STDIN_FILENO) != 1) {
        throw Failure(kExitUsage, "not written: no terminal to confirm on; give --yes to write without asking");
    }
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

std::string DefaultBackupPath(const SensorInfoC& info) {
    std::string time = UtcTimestamp(std::chrono::system_clock::now());
    // A name without colons, which some file systems refuse.
    time.erase(std::remove(time.begin(), time.end(), ':'), time.end());
    time.erase(std::remove(time.begin(), time.end(), '-'), time.end());
    return std::string("kq7-coefficients-") + info.identField2 + "-" + time + ".txt";
}

std::string BackupText(const Sensor& sensor, const Coefficients& current) {
    const SensorInfoC& info = sensor.Info();
    const std::string values = CoefficientsText(current);
    std::string portOption = sensor.Place().virtualSensor ? "--sim" : "--port " + sensor.Place().port;
    return std::string("# wavelength coefficients a0 to a3 of ") + info.identField1 + "-" + info.identField2 +
           ", saved " + UtcTimestamp(std::chrono::system_clock::now()) + "\n# to restore them: kq7 " + portOption +
           " coeff --yes " + values + "\n" + values + "\n";
}

}  // namespace

std::string CoefficientProblem(const Coefficients& coefficients, int bands) {
    const SensorInfoC reported = AsReported(coefficients, bands);
    for (size_t k = 0; k < coefficients.size(); ++k) {
        if (!std::isfinite(reported.coeff[k])) {
            return "a" + std::to_string(k) + " is not a finite number in single precision";
        }
    }
    const std::vector<double> nm = Wavelengths(reported);
    for (size_t band = 1; band < nm.size(); ++band) {
        if (!(nm[band] > nm[band - 1])) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "the wavelengths must rise from band to band: band %zu lies at %.3f nm, band %zu at %.3f nm",
                          band, nm[band - 1], band + 1, nm[band]);
            return text;
        }
    }
    return "";
}

std::string CoefficientsLine(const Coefficients& coefficients) {
    char text[160];
    std::snprintf(text, sizeof text, "a0=%.6g a1=%.6g a2=%.6g a3=%.6g", coefficients[0], coefficients[1],
                  coefficients[2], coefficients[3]);
    return text;
}

Coefficients CurrentCoefficients(const SensorInfoC& info) {
    return {info.coeff[0], info.coeff[1], info.coeff[2], info.coeff[3]};
}

std::string WriteCoefficientsSafely(Sensor& sensor, const Coefficients& coefficients,
                                    const CoefficientWriteOptions& options) {
    const SensorInfoC& info = sensor.Info();
    const Coefficients current = CurrentCoefficients(info);
    WriteData("current coefficients: " + CoefficientsLine(current) + RangeText(current, info.bandnumber) + "\n");
    WriteData("new coefficients:     " + CoefficientsLine(coefficients) + RangeText(coefficients, info.bandnumber) +
              "\n");
    const std::string problem = CoefficientProblem(coefficients, info.bandnumber);
    if (!problem.empty()) {
        throw Failure(kExitUsage, "coefficients refused: " + problem);
    }
    const std::string backupPath = options.backupPath.empty() ? DefaultBackupPath(info) : options.backupPath;
    CheckWritable(backupPath);
    if (!options.yes) {
        const auto confirm = options.confirm ? options.confirm : AskOnTerminal;
        if (!confirm("write the new coefficients into the sensor?")) {
            throw Failure(kExitFailure, "not written");
        }
    }
    WriteFile(backupPath, BackupText(sensor, current));
    WriteData("previous coefficients saved in " + backupPath + "\n");
    sensor.WriteCoefficients(coefficients);
    return backupPath;
}

}  // namespace kq7tool
