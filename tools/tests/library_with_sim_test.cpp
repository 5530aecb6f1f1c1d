/* SPDX-License-Identifier: MIT */
// The library's exports against the in-process virtual sensor.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nerb_kq7lib.h"
#include "sim/in_process.h"
#include "support/console_capture.h"

namespace kq7sim {
namespace {

constexpr int kPercent = 90;
constexpr int kTarget = 58981;  // 90 % of 65535, truncated

class LibraryWithSimTest : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override {
        SimConfig config;
        config.fault = GetParam();
        StartInProcess(config);
        KQ7Set_Serial_FUN(InProcessWrite, InProcessRead);
    }

    std::vector<uint16_t> Capture(int shutter) {
        std::vector<uint16_t> samples(512);
        EXPECT_EQ(KQ7GetData(samples.data(), shutter), 512);
        return samples;
    }

    // The library's console lines stay out of the test log.
    kq7::test::ConsoleCapture console;
};

TEST_P(LibraryWithSimTest, IdentifiesTheSensor) {
    ASSERT_EQ(KQ7SensorInit(), 1);
    const SensorInfoC info = KQ7Get_SensorInfo();
    EXPECT_STREQ(info.identField1, "KQ7");
    EXPECT_STREQ(info.identField2, "SIM00042");
    EXPECT_EQ(info.bandnumber, 512);
    EXPECT_EQ(info.maxValue, 65535);
    EXPECT_FLOAT_EQ(info.coeff[3], static_cast<float>(DefaultCoefficients(512)[3]));
}

TEST_P(LibraryWithSimTest, AutomaticExposureConvergesAtNinetyPercent) {
    ASSERT_EQ(KQ7SensorInit(), 1);
    const int shutter = KQ7OptSnenser(kPercent);
    EXPECT_GT(shutter, 12);
    EXPECT_LT(shutter, 10000);
    const std::vector<uint16_t> samples = Capture(shutter);
    const int peak = *std::max_element(samples.begin(), samples.end());
    EXPECT_GE(peak, 0.95 * kTarget);
    EXPECT_LE(peak, kTarget);
}

INSTANTIATE_TEST_SUITE_P(Faults, LibraryWithSimTest,
                         ::testing::Values(Fault::None, Fault::Busy, Fault::Stray, Fault::Chunked),
                         [](const auto& info) {
                             std::string name = FaultName(info.param);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

class LibraryWithHealthySimTest : public LibraryWithSimTest {};

TEST_P(LibraryWithHealthySimTest, WrittenCoefficientsAppearAtTheNextIdentification) {
    ASSERT_EQ(KQ7SensorInit(), 1);
    const double written[4] = {-2e-7, 1e-4, 1.4, 330.5};
    EXPECT_EQ(KQ7SetWeaveLenthCoeff(written, 4), 1);
    ASSERT_EQ(KQ7SensorInit(), 1);
    const SensorInfoC info = KQ7Get_SensorInfo();
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(info.coeff[k], static_cast<float>(written[k])) << "a" << k;
    }
}

TEST_P(LibraryWithHealthySimTest, ClosedShutterGivesTheDarkLevel) {
    ASSERT_EQ(KQ7SensorInit(), 1);
    KQ7SetShutterOpen(0);
    const std::vector<uint16_t> dark = Capture(1000);
    EXPECT_LT(*std::max_element(dark.begin(), dark.end()), kDarkLevel + 60);
    KQ7SetShutterOpen(1);
    const std::vector<uint16_t> light = Capture(1000);
    EXPECT_GT(*std::max_element(light.begin(), light.end()), 20000);
}

INSTANTIATE_TEST_SUITE_P(NoFault, LibraryWithHealthySimTest, ::testing::Values(Fault::None));

}  // namespace
}  // namespace kq7sim
