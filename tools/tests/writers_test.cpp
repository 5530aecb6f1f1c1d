/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "kq7/formats/csv.h"
#include "kq7/formats/svg.h"
#include "kq7/spectrum.h"
#include "kq7/utc_time.h"

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

TEST(SubtractDarkTest, KeepsNegativeDifferences) {
    EXPECT_EQ(SubtractDark({1500, 990, 1000}, {1000, 1000, 1000}), (std::vector<double>{500, -10, 0}));
}

std::vector<std::string> SpectrumCsvLines(const CsvMetadata& metadata, bool withMetadata) {
    const Spectrum spectrum{{400.25, 401.5}, {1234, -3.5}, "t"};
    std::ostringstream csv;
    WriteSpectrumCsv(csv, spectrum, metadata, withMetadata);
    return Lines(csv.str());
}

TEST(CsvTest, MetadataLinesThenHeaderThenOneRowPerBandFromOne) {
    const CsvMetadata metadata{"2026-12-09T11:30:00Z", "/dev/ttyUSB0", "KQ7", "A1", 200, 1, false,
                               {-1.5e-7, 0.00012, 1.32, 339.48}, "1.0.0", "1.1.0"};
    EXPECT_EQ(SpectrumCsvLines(metadata, true),
              (std::vector<std::string>{"# time: 2026-12-09T11:30:00Z", "# port: /dev/ttyUSB0", "# virtual_sensor: no",
                                        "# model: KQ7", "# serial: A1", "# shutter_value: 200", "# averages: 1",
                                        "# dark_subtracted: no", "# coefficients: -1.5e-07 0.00012 1.32 339.48",
                                        "# kq7_version: 1.0.0", "# library_version: 1.1.0",
                                        "band,wavelength_nm,counts", "1,400.250,1234", "2,401.500,-3.5"}));
}

struct ColumnCase {
    int averages;
    bool dark;
    const char* header;
};

class CsvColumnTest : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(CsvColumnTest, NamesWhatTheValuesAre) {
    CsvMetadata metadata;
    metadata.averages = GetParam().averages;
    metadata.darkSubtracted = GetParam().dark;
    EXPECT_EQ(SpectrumCsvLines(metadata, false).front(), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CsvColumnTest,
                         ::testing::Values(ColumnCase{4, false, "band,wavelength_nm,mean_counts"},
                                           ColumnCase{1, true, "band,wavelength_nm,dark_subtracted_counts"},
                                           ColumnCase{4, true, "band,wavelength_nm,dark_subtracted_counts"}));

TEST(StreamCsvTest, WavelengthHeaderThenTimeShutterAndCountsPerRow) {
    std::ostringstream csv;
    WriteStreamHeader(csv, {400.25, 401.5});
    WriteStreamRow(csv, "2026-12-09T11:30:00.125Z", 200, {1234, 0.5});
    EXPECT_EQ(Lines(csv.str()), (std::vector<std::string>{"time,shutter_value,400.250,401.500",
                                                          "2026-12-09T11:30:00.125Z,200,1234,0.5"}));
}

TEST(UtcTimestampTest, Iso8601WithOptionalMilliseconds) {
    const auto time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1765279800125));
    EXPECT_EQ(UtcTimestamp(time), "2025-12-09T11:30:00Z");
    EXPECT_EQ(UtcTimestamp(time, true), "2025-12-09T11:30:00.125Z");
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
    // Below zero as a dark-subtracted spectrum can be.
    Spectrum spectrum{{400, 500, 600, 700}, {-40, 1000, 4000, 2000}, "KQ7-SIM & <test>"};
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
    EXPECT_LT(points[1].second, points[0].second);
    for (const auto& [x, y] : points) {  // within the axes' frame
        EXPECT_GE(x, 90);
        EXPECT_LE(x, 870);
        EXPECT_GE(y, 50);
        EXPECT_LE(y, 470);
    }
}

}  // namespace
}  // namespace kq7tool
