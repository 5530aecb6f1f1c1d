/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/calibrate_command.h"

#include "kq7/calibration/calibration.h"
#include "kq7/calibration/calibration_report.h"
#include "kq7/console.h"
#include "kq7/csv_writer.h"
#include "kq7/failure.h"
#include "kq7/output_paths.h"
#include "kq7/spectrum.h"
#include "sim/in_process.h"

namespace kq7tool {

namespace {

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

}  // namespace

void RunCalibrate(Sensor& sensor, const CalibrateOptions& options) {
    // Both files are checked before the lamp is measured, not after.
    CheckWritable(options.reportPath);
    CheckWritable(options.write.backupPath);
    if (sensor.Place().virtualSensor) {
        // The built-in virtual sensor shines the lamp to be calibrated against.
        kq7sim::UseInProcessLightSource(kq7sim::LightSource::MercuryArgon);
    }
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

}  // namespace kq7tool
