/* SPDX-License-Identifier: MIT */
// kq7 info: identity, band count, coefficients and wavelength range.
#include <cstdio>

#include "kq7/coefficients.h"
#include "kq7/commands/command.h"
#include "kq7/commands/spectrum_output.h"
#include "kq7/console.h"

namespace kq7tool {

namespace {

void RunInfo(Sensor& sensor) {
    const SensorInfoC& info = sensor.Identify();
    const std::vector<double> wavelengths = Wavelengths(info);
    std::string text = "identification: " + Identity(info) + "\n";
    text += std::string("model: ") + info.identField1 + "\n";
    text += std::string("serial: ") + info.identField2 + "\n";
    text += "bands: " + std::to_string(info.bandnumber) + "\n";
    text += "full scale: " + std::to_string(info.maxValue) + "\n";
    text += "coefficients: " + CoefficientsLine(CurrentCoefficients(info)) + "\n";
    if (!wavelengths.empty()) {
        char range[100];
        std::snprintf(range, sizeof range, "wavelength range: %.2f nm to %.2f nm\n", wavelengths.front(),
                      wavelengths.back());
        text += range;
    }
    WriteData(text);
}

}  // namespace

void AddInfo(CLI::App& app, Command& chosen) {
    CLI::App* command = app.add_subcommand("info", "Identity, band count, coefficients and wavelength range");
    command->callback([&chosen] { chosen.run = RunInfo; });
}

}  // namespace kq7tool
