/* SPDX-License-Identifier: MIT */
// Modes against the virtual sample's known band, smoothing and reference
// files at their own layer.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "kq7/failure.h"
#include "kq7/measure/boxcar.h"
#include "kq7/measure/measurement_mode.h"
#include "kq7/measure/reference_record.h"
#include "nerb_kq7lib.h"
#include "sim/light_model.h"

namespace kq7tool {
namespace {

constexpr int kShutter = 1000;
constexpr int kAverages = 16;
const kq7sim::Absorber kSample{560.0, 40.0, 0.8};

struct Captured {
    std::vector<double> light, dark;
    std::vector<bool> saturated;
    LightAndDark View() const { return {light, dark, saturated}; }
};

Captured Capture(std::optional<kq7sim::Absorber> absorber) {
    kq7sim::SimConfig config;
    config.absorber = absorber;
    config.seed = absorber ? 7 : 42;  // noise of its own, as two real captures have
    kq7sim::LightModel model(config);
    Captured captured{std::vector<double>(config.bands), std::vector<double>(config.bands), {}};
    for (int k = 0; k < kAverages; ++k) {
        const auto light = model.Expose(kShutter, true);
        const auto dark = model.Expose(kShutter, false);
        for (int band = 0; band < config.bands; ++band) {
            captured.light[band] += light[band] / double(kAverages);
            captured.dark[band] += dark[band] / double(kAverages);
        }
    }
    return captured;
}

class ModeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        blank_ = new Captured(Capture(std::nullopt));
        sample_ = new Captured(Capture(kSample));
    }
    static void TearDownTestSuite() { delete blank_, delete sample_; }
    static double TrueAbsorbance(int band) {
        return kq7sim::Absorbance(kSample, kq7_wavelength(kq7sim::SimConfig{}.coefficients.data(), band + 1));
    }
    static Captured* blank_;
    static Captured* sample_;
};
Captured* ModeTest::blank_;
Captured* ModeTest::sample_;

TEST_F(ModeTest, TransmittanceAndAbsorbanceFollowTheSamplesBandWithinTheNoise) {
    const ModeValues a = ComputeMode(Quantity::Absorbance, sample_->View(), blank_->View());
    const ModeValues t = ComputeMode(Quantity::Transmittance, sample_->View(), blank_->View());
    EXPECT_EQ(a.invalidBands, 0);
    double peak = 0.0;
    for (size_t band = 0; band < a.values.size(); ++band) {
        // Noise: a few tenths of a percent of the light, more where it is faint.
        const double tolerance = 0.02 + 20.0 / (blank_->light[band] - blank_->dark[band]);
        ASSERT_NEAR(a.values[band], TrueAbsorbance(band), tolerance) << "band " << band + 1;
        ASSERT_NEAR(t.values[band], std::pow(10.0, -TrueAbsorbance(band)), tolerance) << "band " << band + 1;
        peak = std::max(peak, a.values[band]);
    }
    EXPECT_NEAR(peak, kSample.depth, 0.02);
}

TEST_F(ModeTest, BandsWithoutReferenceLightOrSaturatedAreInvalidAndCounted) {
    Captured reference = *blank_;
    for (int band = 0; band < 100; ++band) {
        reference.light[band] = reference.dark[band] + kMinReferenceLight / 2;  // a dark reference there
    }
    reference.saturated.assign(reference.light.size(), false);
    reference.saturated[300] = true;
    Captured sample = *sample_;
    sample.saturated.assign(sample.light.size(), false);
    sample.saturated[400] = sample.saturated[401] = true;
    for (Quantity quantity : {Quantity::Transmittance, Quantity::Absorbance, Quantity::Reflectance}) {
        const ModeValues values = ComputeMode(quantity, sample.View(), reference.View());
        EXPECT_EQ(values.invalidBands, 103) << QuantityName(quantity);
        EXPECT_TRUE(std::isnan(values.values[0]) && std::isnan(values.values[99]) && std::isnan(values.values[300]));
        EXPECT_TRUE(std::isfinite(values.values[100]));
    }
}

TEST(BoxcarTest, CentredMeanThatShrinksAtTheEndsAndSkipsInvalidBands) {
    const double nan = std::nan("");
    const std::vector<double> smoothed = Boxcar({0, 3, 6, nan, 12, 15, 18}, 2);
    EXPECT_EQ(smoothed[0], 0);       // no neighbour on one side: as it was
    EXPECT_EQ(smoothed[1], 3);       // (0 + 3 + 6) / 3
    EXPECT_EQ(smoothed[2], 5.25);    // (0 + 3 + 6 + 12) / 4, the invalid band left out
    EXPECT_TRUE(std::isnan(smoothed[3]));
    EXPECT_EQ(smoothed[5], 15);      // (12 + 15 + 18) / 3
    EXPECT_EQ(smoothed[6], 18);
    EXPECT_EQ(Boxcar({1, 5, 2}, 0), (std::vector<double>{1, 5, 2}));
}

const MetadataFields kReferenceFields = {{"time", "2026-12-09T11:30:00Z"}, {"serial", "KQ7-SIM00042"},
                                         {"shutter_value", "100"}, {"averages", "4"}};
const MeasurementSettings kSettings{"KQ7-SIM00042", 3, 100, 4};

std::string ReferenceText(std::vector<double> light = {1500, 2600.5, 1700}) {
    ReferenceRecord record;
    record.wavelengthsNm = {400, 500.25, 600};
    record.light = std::move(light);
    record.dark = {1000, 1001.25, 999};
    record.saturated = {false, true, false};
    std::ostringstream text;
    WriteReferenceCsv(text, kReferenceFields, record);
    return text.str();
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

ReferenceUse Use(const std::string& text, MeasurementSettings settings = kSettings, bool acceptScaling = false) {
    std::istringstream in(text);
    return CheckReference(ReadReferenceCsv(in, "ref.csv"), settings, "ref.csv", acceptScaling);
}

TEST(ReferenceTest, ReadsBackWhatWasWrittenWithWindowsLineEndsToo) {
    for (const std::string& text : {ReferenceText(), Replaced(ReferenceText(), "\n", "\r\n")}) {
        std::istringstream in(text);
        const ReferenceRecord record = ReadReferenceCsv(in, "ref.csv");
        EXPECT_EQ(record.light, (std::vector<double>{1500, 2600.5, 1700}));
        EXPECT_EQ(record.dark, (std::vector<double>{1000, 1001.25, 999}));
        EXPECT_EQ(record.saturated, (std::vector<bool>{false, true, false}));
        EXPECT_EQ(record.wavelengthsNm[1], 500.25);
        EXPECT_EQ(Use(text).scale, 1.0);
    }
}

TEST(ReferenceTest, AnotherShutterValueIsScaledOnlyWhenAccepted) {
    MeasurementSettings settings = kSettings;
    settings.shutter = 200;
    const ReferenceUse use = Use(ReferenceText(), settings, true);
    EXPECT_EQ(use.scale, 2.0);
    EXPECT_EQ(FieldValue(use.metadata, "reference_scaled_by"), "2");
}

struct Refusal {
    const char* name;
    std::string text;
    MeasurementSettings settings;
    const char* reason;
};

class ReferenceRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(ReferenceRefusalTest, SaysWhy) {
    try {
        Use(GetParam().text, GetParam().settings);
        FAIL() << "accepted";
    } catch (const Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find(GetParam().reason), std::string::npos) << failure.what();
    }
}

const std::string kText = ReferenceText();
INSTANTIATE_TEST_SUITE_P(
    Table, ReferenceRefusalTest,
    ::testing::Values(
        Refusal{"OtherSensor", kText, {"KQ7-SIM00043", 3, 100, 4}, "not with this one"},
        Refusal{"OtherBandCount", kText, {"KQ7-SIM00042", 4, 100, 4}, "has 3 bands, the sensor 4"},
        Refusal{"OtherShutter", kText, {"KQ7-SIM00042", 3, 200, 4}, "taken at shutter value 100"},
        Refusal{"OtherAveraging", kText, {"KQ7-SIM00042", 3, 100, 1}, "averages 4 captures"},
        Refusal{"Truncated", kText.substr(0, kText.rfind("3,")), kSettings, "truncated or edited"},
        Refusal{"HandEdited", Replaced(kText, "1500,", "1501,"), kSettings, "truncated or edited"},
        Refusal{"NotAReference", Replaced(kText, "# kind: reference\n", ""), kSettings, "not a reference"},
        Refusal{"Dark", ReferenceText({1010, 1011, 1009}), kSettings, "dark"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kq7tool
