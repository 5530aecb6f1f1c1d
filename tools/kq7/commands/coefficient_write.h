/* SPDX-License-Identifier: MIT */
// Writing a wavelength calibration into the sensor without losing the old
// one: the current and the new coefficients are shown, values that cannot be
// a calibration are refused, the current ones go to a backup file first and
// the write waits for a yes.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "kq7/coefficients.h"
#include "kq7/device/sensor.h"

namespace kq7tool {

struct CoefficientWriteOptions {
    bool yes = false;        // write without asking
    std::string backupPath;  // empty: kq7-coefficients-SERIAL-TIME.txt in the current folder
    // Asks the question and says whether the answer was yes; empty: asks on
    // the terminal (standard error and standard input).
    std::function<bool(const std::string& question)> confirm;
};

// -y/--yes and --backup.
void AddWriteOptions(CLI::App& command, CoefficientWriteOptions& options);

// Writes `coefficients` into the identified `sensor`: shows the current and
// the new ones on the data output, refuses a CoefficientProblem (kExitUsage),
// saves the current ones to the backup file and names it, asks unless
// `options.yes` (a no: kExitFailure, nothing written), then writes. Returns
// the backup file's path. Throws Failure.
std::string WriteCoefficientsSafely(Sensor& sensor, const Coefficients& coefficients,
                                    const CoefficientWriteOptions& options);

}  // namespace kq7tool
