/* SPDX-License-Identifier: MIT */
// The calibration against the virtual mercury-argon lamp seen through a
// sensor whose stored axis has drifted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kq7/calibration/calibration.h"
#include "nerb_kq7lib.h"
#include "sim/light_model.h"
#include "sim/virtual_sensor.h"

namespace kq7tool {
namespace {

struct LampCase {
    int bands;
    double driftNm;
};

class CalibrationLampTest : public ::testing::TestWithParam<LampCase> {
protected:
    // The mean of a few exposures with the brightest line near 80 % of full
    // scale, as kq7 calibrate takes them.
    static std::vector<double> LampSpectrum(const kq7sim::SimConfig& config) {
        constexpr int kCaptures = 8;
        kq7sim::LightModel light(config);
        const auto& rate = light.CountsPerShutterUnit();
        const double brightest = *std::max_element(rate.begin(), rate.end());
        const int shutter = static_cast<int>(0.8 * (kq7sim::kFullScale - kq7sim::kDarkLevel) / brightest);
        std::vector<double> mean(rate.size(), 0.0);
        for (int i = 0; i < kCaptures; ++i) {
            const std::vector<uint16_t> counts = light.Expose(shutter, true);
            for (size_t band = 0; band < counts.size(); ++band) {
                mean[band] += counts[band] / static_cast<double>(kCaptures);
            }
        }
        return mean;
    }
};

TEST_P(CalibrationLampTest, RecoversTheTrueAxis) {
    kq7sim::SimConfig config = kq7sim::SimConfig::For(GetParam().bands, 7);
    config.source = kq7sim::LightSource::MercuryArgon;
    config.driftNm = GetParam().driftNm;
    const kq7sim::VirtualSensor sensor(config);

    const Calibration c =
        Calibrate(LampSpectrum(config), sensor.Coefficients(), ResolvedMercuryArgonLines(), 0.98 * kq7sim::kFullScale);

    EXPECT_EQ(c.refusal, "");
    EXPECT_GE(c.linesUsed, 12);
    EXPECT_LT(c.rmsNm, 0.1);
    double worst = 0.0;
    for (int band = 1; band <= config.bands; ++band) {
        worst = std::max(worst, std::abs(kq7_wavelength(c.newCoefficients.data(), band) -
                                         kq7_wavelength(config.coefficients.data(), band)));
    }
    EXPECT_LT(worst, 0.25) << "anywhere on the axis";
}

INSTANTIATE_TEST_SUITE_P(DriftedSensors, CalibrationLampTest,
                         ::testing::Values(LampCase{512, 3.0}, LampCase{512, -4.0}, LampCase{1024, 1.5},
                                           LampCase{256, 6.0}, LampCase{512, 0.0}));

}  // namespace
}  // namespace kq7tool
