/* SPDX-License-Identifier: MIT */
// The virtual sensor's reference lamp and the drift of its stored calibration.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "sim/light_model.h"
#include "sim/virtual_sensor.h"
#include "nerb_kq7lib.h"

namespace kq7sim {
namespace {

struct DriftCase {
    int bands;
    double driftNm;
};

class DriftTest : public ::testing::TestWithParam<DriftCase> {};

TEST_P(DriftTest, ReportedAxisIsOffByHalfToAllOfTheDrift) {
    SimConfig config = SimConfig::For(GetParam().bands, 1);
    config.driftNm = GetParam().driftNm;
    const VirtualSensor sensor(config);
    double least = 2.0;
    double most = 0.0;
    for (int band = 1; band <= config.bands; ++band) {
        const double share =
            (kq7_wavelength(sensor.Coefficients().data(), band) - kq7_wavelength(config.coefficients.data(), band)) / config.driftNm;
        least = std::min(least, share);
        most = std::max(most, share);
    }
    EXPECT_NEAR(least, 0.5, 1e-3);
    EXPECT_NEAR(most, 1.0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(BandCounts, DriftTest,
                         ::testing::Values(DriftCase{512, 3.0}, DriftCase{2048, -2.0}, DriftCase{64, 10.0}));

TEST(MercuryArgonLamp, ShowsNarrowLinesAtTheirWavelengthsAndLittleElse) {
    SimConfig config;
    config.source = LightSource::MercuryArgon;
    const std::vector<double> rate = LightModel(config).CountsPerShutterUnit();
    const auto brightest = std::max_element(rate.begin(), rate.end());
    const int band = static_cast<int>(brightest - rate.begin()) + 1;
    EXPECT_NEAR(kq7_wavelength(config.coefficients.data(), band), 546.074, 0.7);
    const auto aboveHalf = std::count_if(brightest - 5, brightest + 6, [&](double r) { return r > *brightest / 2; });
    EXPECT_GE(aboveHalf, 2) << "a line is a few bands wide";
    EXPECT_LE(aboveHalf, 3);
    // 480 nm: between the mercury lines.
    EXPECT_LT(rate[105], *brightest / 100);
}

}  // namespace
}  // namespace kq7sim
