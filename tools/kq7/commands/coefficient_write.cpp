/* SPDX-License-Identifier: MIT */
#include "kq7/commands/coefficient_write.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "kq7/console.h"
#include "kq7/diagnostics.h"
#include "kq7/failure.h"
#include "kq7/output_paths.h"
#include "kq7/utc_time.h"

namespace kq7tool {

namespace {

bool AskOnTerminal(const std::string& question) {
    if (isatty(STDIN_FILENO) != 1) {
        throw Failure(kExitUsage, "not written: no terminal to confirm on; give --yes to write without asking");
    }
    Say(question + " [y/N] ");
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

void AddWriteOptions(CLI::App& command, CoefficientWriteOptions& options) {
    command.add_flag("-y,--yes", options.yes, "Write without asking");
    command.add_option("--backup", options.backupPath,
                       "File for the current coefficients (default: kq7-coefficients-SERIAL-TIME.txt here)");
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
