/* SPDX-License-Identifier: MIT */
// kq7 calibrate: a new wavelength calibration from a reference lamp in front
// of the sensor, written through the same safe path as kq7 coeff.
#include <memory>
#include <string>

#include "kq7/calibration/calibration.h"
#include "kq7/calibration/calibration_report.h"
#include "kq7/commands/coefficient_write.h"
#include "kq7/commands/command.h"
#include "kq7/console.h"
#include "kq7/distinct_files.h"
#include "kq7/device/captures.h"
#include "kq7/failure.h"
#include "kq7/output_paths.h"

namespace kq7tool {

namespace {

// The lamps kq7 knows the lines of.
constexpr const char* kMercuryArgonLamp = "hgar";

struct CalibrateOptions {
    std::string lamp;
    std::string reportPath;  // the report also goes to this file; empty: none
    CoefficientWriteOptions write;
};

// The brightest line lands at 76 to 80 % of full scale: the weak lines rise
// well out of the noise while no line clips.
constexpr int kLampPercent = 80;
// Captures averaged into the spectrum that is calibrated.
constexpr int kLampCaptures = 8;
// A peak whose mean reaches this share of full scale was clipped in some
// capture, and its centre is off.
constexpr double kSaturationShare = 0.98;

// What was measured, ahead of the calibration's own report.
std::string Heading(const SensorInfoC& info, const kq7::Exposure& exposure) {
    return std::string("wavelength calibration of ") + info.identField1 + "-" + info.identField2 +
           " against the mercury-argon lamp\nshutter value " + std::to_string(exposure.shutter) +
           (exposure.inWindow ? "" : " (exposure out of range)") + ", mean of " + std::to_string(kLampCaptures) +
           " captures\n";
}

// Exposes for the lamp, averages captures, calibrates and shows the report;
// writes the result (WriteCoefficientsSafely) unless it is refused (then
// throws Failure, kExitFailure), and shows what the sensor reports after.
void RunCalibrate(Sensor& sensor, const CalibrateOptions& options) {
    // Both files are checked before the lamp is measured, not after.
    CheckDistinctFiles({{"--report", options.reportPath}, {"--backup", options.write.backupPath}}, sensor.Place());
    CheckWritable(options.reportPath);
    CheckWritable(options.write.backupPath);
    const SensorInfoC& info = sensor.Identify();
    const kq7::Exposure exposure = sensor.AutoExposure(kLampPercent);
    const Acquisition lamp = CaptureMean(sensor, exposure.shutter, kLampCaptures);

    Calibration calibration = Calibrate(lamp.counts, CurrentCoefficients(info), ResolvedMercuryArgonLines(),
                                        kSaturationShare * info.maxValue);
    if (calibration.refusal.empty()) {
        calibration.refusal = CoefficientProblem(calibration.newCoefficients, info.bandnumber);
    }
    const std::string report = Heading(info, exposure) + CalibrationReport(calibration);
    WriteData(report);
    if (!options.reportPath.empty()) {
        WriteFile(options.reportPath, report);
    }
    if (!calibration.refusal.empty()) {
        throw Failure(kExitFailure, "calibration not written: " + calibration.refusal);
    }

    WriteCoefficientsSafely(sensor, calibration.newCoefficients, options.write);
    const SensorInfoC& stored = sensor.Identify();
    WriteData("the sensor now reports (a0 a1 a2 a3): " + CoefficientsText(CurrentCoefficients(stored)) + "\n");
}

}  // namespace

void AddCalibrate(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<CalibrateOptions>();
    CLI::App* command =
        app.add_subcommand("calibrate", "Calibrate the wavelength axis against a reference lamp and write the result");
    command->add_option("--lamp", options->lamp, "The lamp in front of the sensor: hgar (mercury-argon)")
        ->required()
        ->check(CLI::IsMember({kMercuryArgonLamp}));
    command->add_option("--report", options->reportPath, "Also write the report to this file");
    AddWriteOptions(*command, options->write);
    // The built-in virtual sensor shines the lamp to be calibrated against.
    RunWhenChosen(*command, chosen, options, RunCalibrate, kq7sim::LightSource::MercuryArgon);
}

}  // namespace kq7tool
