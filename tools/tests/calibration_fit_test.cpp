/* SPDX-License-Identifier: MIT */
// The cubic fit, its outlier rejection and the refusal rules, on synthetic
// lines.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "kq7/calibration/calibration.h"
#include "kq7/calibration/outlier_rejection.h"
#include "nerb_kq7lib.h"
#include "sim/sim_config.h"

namespace kq7tool {
namespace {

constexpr double kNoiseNm = 0.02;

class CalibrationFitTest : public ::testing::TestWithParam<int> {
protected:
    // Lines spread over the axis of a sensor with GetParam() bands, at their
    // true bands, their wavelengths read with a little noise.
    std::vector<LineMatch> Lines(size_t count) {
        std::mt19937 random(3);
        std::normal_distribution<double> noise(0.0, kNoiseNm);
        std::vector<LineMatch> lines;
        for (size_t i = 0; i < count; ++i) {
            const double band = 5.3 + (GetParam() - 10.0) * static_cast<double>(i) / static_cast<double>(count - 1);
            lines.push_back({band, 1000.0, kq7_wavelength(truth.data(), band) + noise(random)});
        }
        return lines;
    }

    double WorstErrorNm(const std::array<double, 4>& fitted) const {
        double worst = 0.0;
        for (int band = 1; band <= GetParam(); ++band) {
            worst = std::max(worst, std::abs(kq7_wavelength(fitted.data(), band) - kq7_wavelength(truth.data(), band)));
        }
        return worst;
    }

    const std::array<double, 4> truth = kq7sim::DefaultCoefficients(GetParam());
};

TEST_P(CalibrationFitTest, RecoversTheCubicFromNoisyLinesRejectingOnlyAMisidentifiedOne) {
    const OutlierFreeFit clean = FitRejectingOutliers(Lines(15), GetParam());
    EXPECT_TRUE(clean.rejected.empty());
    EXPECT_LT(WorstErrorNm(clean.fit.coefficients), 3 * kNoiseNm);
    EXPECT_NEAR(clean.fit.rmsNm, kNoiseNm, kNoiseNm / 2);

    std::vector<LineMatch> lines = Lines(12);
    lines[4].knownNm += 1.0;
    const OutlierFreeFit result = FitRejectingOutliers(lines, GetParam());
    ASSERT_EQ(result.rejected.size(), 1u);
    EXPECT_EQ(result.rejected[0].knownNm, lines[4].knownNm);
    EXPECT_LT(WorstErrorNm(result.fit.coefficients), 3 * kNoiseNm);
}

INSTANTIATE_TEST_SUITE_P(BandCounts, CalibrationFitTest, ::testing::Values(128, 512, 2048));

// A spectrum with narrow lines at `linesNm` under the default axis of 512
// bands, over a flat background with a little ripple.
std::vector<double> LineSpectrum(const std::vector<double>& linesNm) {
    const std::array<double, 4> axis = kq7sim::DefaultCoefficients(512);
    std::vector<double> counts;
    for (int band = 1; band <= 512; ++band) {
        double value = 1000.0 + 5.0 * std::sin(band);
        for (double line : linesNm) {
            const double z = (kq7_wavelength(axis.data(), band) - line) / 1.3;
            value += 30000.0 * std::exp(-0.5 * z * z);
        }
        counts.push_back(value);
    }
    return counts;
}

TEST(CalibrationRefusal, NeedsSixLines) {
    const std::vector<double> lines = {435.833, 546.074, 696.543, 763.511, 811.531};
    const Calibration c =
        Calibrate(LineSpectrum(lines), kq7sim::DefaultCoefficients(512), ResolvedMercuryArgonLines(), 65000);
    EXPECT_EQ(c.linesUsed, 5);
    EXPECT_EQ(c.refusal, "only 5 lines matched the lamp's known lines; at least 6 are needed");
}

TEST(CalibrationRefusal, RefusesLinesThatNoCubicFits) {
    // Every other line 0.8 nm off, as a lamp of another kind would show them.
    std::vector<double> lines = {365.015, 435.833, 546.074, 696.543, 738.398, 763.511, 811.531, 842.465, 912.297};
    for (size_t i = 0; i < lines.size(); i += 2) {
        lines[i] += 0.8;
    }
    const Calibration c =
        Calibrate(LineSpectrum(lines), kq7sim::DefaultCoefficients(512), ResolvedMercuryArgonLines(), 65000);
    EXPECT_EQ(c.refusal.rfind("the RMS residual of 0.", 0), 0u) << c.refusal;
    EXPECT_NE(c.refusal.find(" nm is above 0.25 nm"), std::string::npos) << c.refusal;
}

TEST(CalibrationRefusal, LeavesOutSaturatedLines) {
    std::vector<double> counts = LineSpectrum({365.015, 435.833, 546.074, 696.543, 763.511, 811.531, 912.297});
    // 546.074 nm peaks at band 155 of the default axis.
    std::fill(counts.begin() + 152, counts.begin() + 157, 65535.0);
    const Calibration c = Calibrate(counts, kq7sim::DefaultCoefficients(512), ResolvedMercuryArgonLines(), 65000);
    EXPECT_EQ(c.linesUsed, 6);
    EXPECT_EQ(c.refusal, "");
}

}  // namespace
}  // namespace kq7tool
