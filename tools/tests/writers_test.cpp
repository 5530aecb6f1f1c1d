/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "kq7/csv_writer.h"
#include "kq7/spectrum.h"
#include "kq7/svg_plot.h"

namespace kq7tool {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The points of the plot's polyline as (x, y) pairs.
std::vector<std::pair<double, double>> PolylinePoints(const std::string& svg) {
    const std::string marker = "<polyline";
    const size_t start = svg.find("points=\"", svg.find(marker));
    const size_t end = svg.find('"', start + 8);
    std::istringstream points(svg.substr(start + 8, end - start - 8));
    std::vector<std::pair<double, double>> result;
    double x = 0, y = 0;
    char comma = 0;
    while (points >> x >> comma >> y) {
        result.emplace_back(x, y);
    }
    return result;
}

TEST(WavelengthsTest, BandsCountFromOneWithA0TheCubicTerm) {
    SensorInfoC info{};
    info.bandnumber = 3;
    info.coeff[0] = 0.5f;
    info.coeff[1] = 0.25f;
    info.coeff[2] = 2.0f;
    info.coeff[3] = 400.0f;
    const std::vector<double> nm = Wavelengths(info);
    ASSERT_EQ(nm.size(), 3u);
    EXPECT_DOUBLE_EQ(nm[0], 0.5 + 0.25 + 2 + 400);
    EXPECT_DOUBLE_EQ(nm[2], 0.5 * 27 + 0.25 * 9 + 2 * 3 + 400);
}

TEST(SubtractDarkTest, ClampsAtZero) {
    EXPECT_EQ(SubtractDark({1500, 990, 1000}, {1000, 1000, 1000}), (std::vector<double>{500, 0, 0}));
}

TEST(CsvTest, HeaderThenOneRowPerBandFromOne) {
    const Spectrum spectrum{{400.25, 401.5}, {1234, 65535.5}, "t"};
    EXPECT_EQ(Lines(SpectrumCsv(spectrum)),
              (std::vector<std::string>{"band,wavelength_nm,counts", "1,400.250,1234", "2,401.500,65535.5"}));
}

TEST(NiceTicksTest, RoundStepsWithinTheRange) {
    EXPECT_EQ(NiceTicks(340.8, 1026.6, 8), (std::vector<double>{400, 500, 600, 700, 800, 900, 1000}));
    EXPECT_EQ(NiceTicks(0, 61000, 8), (std::vector<double>{0, 10000, 20000, 30000, 40000, 50000, 60000}));
    EXPECT_EQ(NiceTicks(12, 58, 5), (std::vector<double>{20, 30, 40, 50}));
}

TEST(NiceTicksTest, FewTicksFarFromZero) {
    // Wavelengths near 1e38 a few units of the last place apart, as a sensor
    // with a garbage calibration reports them: the ticks must still end.
    const double low = 1e38;
    EXPECT_LE(NiceTicks(low, low + 5e22, 8).size(), 9u);
}

class SvgTest : public ::testing::Test {
protected:
    Spectrum spectrum{{400, 500, 600, 700}, {0, 1000, 4000, 2000}, "KQ7-SIM & <test>"};
    std::string svg = SpectrumSvg(spectrum);
};

TEST_F(SvgTest, IsOneDocumentWithEscapedTitleAndAxisLabels) {
    EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
    EXPECT_NE(svg.find("KQ7-SIM &amp; &lt;test&gt;"), std::string::npos);
    EXPECT_NE(svg.find(">Wavelength (nm)</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Counts</text>"), std::string::npos);
    EXPECT_NE(svg.find(">500</text>"), std::string::npos) << "a wavelength tick";
    EXPECT_NE(svg.find(">4000</text>"), std::string::npos) << "a count tick";
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST_F(SvgTest, PlotsOnePointPerBandLeftToRightWithHigherCountsHigherUp) {
    const auto points = PolylinePoints(svg);
    ASSERT_EQ(points.size(), 4u);
    for (size_t i = 1; i < points.size(); ++i) {
        EXPECT_GT(points[i].first, points[i - 1].first);
    }
    EXPECT_LT(points[2].second, points[3].second) << "4000 counts above 2000";
    EXPECT_LT(points[3].second, points[1].second);
    for (const auto& [x, y] : points) {
        EXPECT_GE(x, 0);
        EXPECT_LE(x, 900);
        EXPECT_GE(y, 0);
        EXPECT_LE(y, 540);
    }
}

}  // namespace
}  // namespace kq7tool
