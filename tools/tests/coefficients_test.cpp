/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "kq7/coefficients.h"

namespace kq7tool {
namespace {

struct CoefficientCase {
    const char* name;
    Coefficients coefficients;
    const char* problem;  // the start of it; "" for usable coefficients
};

class CoefficientProblemTest : public ::testing::TestWithParam<CoefficientCase> {};

TEST_P(CoefficientProblemTest, RefusesWhatCannotBeACalibration) {
    const std::string problem = CoefficientProblem(GetParam().coefficients, 512);
    EXPECT_EQ(problem.substr(0, std::string(GetParam().problem).size()), GetParam().problem) << problem;
    EXPECT_EQ(problem.empty(), std::string(GetParam().problem).empty()) << problem;
}

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, CoefficientProblemTest,
    ::testing::Values(
        CoefficientCase{"Usable", {-1.5e-7, 0.00012, 1.32, 339.48}, ""},
        CoefficientCase{"AllZero", {0, 0, 0, 0}, "the wavelengths must rise"},
        CoefficientCase{"NotANumber", {kNan, 0, 1, 300}, "a0 is not a finite number"},
        CoefficientCase{"BeyondSinglePrecision", {0, 0, 1, 1e39}, "a3 is not a finite number"},
        CoefficientCase{"Falling", {0, 0, -1, 1000}, "the wavelengths must rise"},
        // Rises at first, then turns back before the last band.
        CoefficientCase{"TurnsBack", {0, -0.01, 5, 300}, "the wavelengths must rise"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kq7tool
