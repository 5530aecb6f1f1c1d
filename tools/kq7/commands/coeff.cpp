/* SPDX-License-Identifier: MIT */
// kq7 coeff: shows the current coefficients, or writes new ones
// (WriteCoefficientsSafely).
#include <limits>
#include <memory>
#include <vector>

#include "kq7/commands/coefficient_write.h"
#include "kq7/commands/command.h"
#include "kq7/console.h"
#include "kq7/distinct_files.h"
#include "options/numbers.h"

namespace kq7tool {

namespace {

struct CoeffOptions {
    std::vector<double> coefficients;  // none: show the current ones
    CoefficientWriteOptions write;
};

void RunCoeff(Sensor& sensor, const CoeffOptions& options) {
    if (options.coefficients.size() != 4) {
        WriteData("coefficients: " + CoefficientsLine(CurrentCoefficients(sensor.Identify())) + "\n");
        return;
    }
    CheckDistinctFiles({{"--backup", options.write.backupPath}}, sensor.Place());
    const Coefficients coefficients{options.coefficients[0], options.coefficients[1], options.coefficients[2],
                                    options.coefficients[3]};
    // Values that no band count makes usable are refused before the sensor is asked.
    const std::string problem = CoefficientProblem(coefficients, 0);
    if (!problem.empty()) {
        throw Failure(kExitUsage, "coefficients refused: " + problem);
    }
    sensor.Identify();
    WriteCoefficientsSafely(sensor, coefficients, options.write);
    WriteData("coefficients written; the sensor reports them at its next identification\n");
}

}  // namespace

void AddCoeff(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<CoeffOptions>();
    CLI::App* command = app.add_subcommand(
        "coeff", "Show the wavelength coefficients, or write new ones a0 (cubic) to a3 (constant)");
    command->add_option("coefficients", options->coefficients, "A0 A1 A2 A3 (none: show the current ones)")
        ->expected(4)
        ->check(kq7options::DecimalNumberIn(std::numeric_limits<double>::lowest(), std::numeric_limits<double>::max()));
    AddWriteOptions(*command, options->write);
    RunWhenChosen(*command, chosen, options, RunCoeff);
}

}  // namespace kq7tool
