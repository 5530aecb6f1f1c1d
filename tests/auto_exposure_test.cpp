/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"
#include "support/console_capture.h"
#include "support/foreign_locale.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Frame;

// A spectrum of 515 samples whose peak among the first 512 bands is `peak`.
// The last sample lies beyond the sensor's 512 bands and never counts.
Bytes SpectrumWithPeak(int peak) {
    std::vector<uint16_t> samples(515, static_cast<uint16_t>(peak / 2));
    samples[7] = static_cast<uint16_t>(peak);
    samples[514] = 65535;
    return Frame(CMD_GET_DATA, test::SpectrumPayload(samples));
}

// The dump of a received spectrum stops after its first 50 bytes.
std::string SpectrumDumpLine(int peak) {
    const Bytes frame = SpectrumWithPeak(peak);
    return test::DumpLine(Bytes(frame.begin(), frame.begin() + 50));
}

// A sensor whose peak follows the shutter value it holds.
class AutoExposureTest : public test::SensorBench {
protected:
    void SetUp() override {
        ASSERT_EQ(Identify("ABC-123", bands), 1);
        host.SetResponder([this](const Bytes& request) -> std::optional<test::Reply> {
            if (request[2] == CMD_SET_SHUTTER) {
                sensorShutter = static_cast<int32_t>(static_cast<uint32_t>(request[5]) << 24 | request[6] << 16 |
                                                     request[7] << 8 | request[8]);
                return test::Reply{Frame(CMD_SET_SHUTTER, {})};
            }
            captures.push_back(sensorShutter);
            const std::optional<int> peak = peakAt(sensorShutter);
            return peak ? std::optional<test::Reply>(test::Reply{SpectrumWithPeak(*peak)}) : std::nullopt;
        });
    }

    int Search(int percent) {
        test::ConsoleCapture capture;
        const int result = KQ7OptSnenser(percent);
        console = capture.Take();
        return result;
    }

    std::vector<std::string> ProbeLines() const { return test::LinesStartingWith(console, "now Shutter is :"); }

    int32_t bands = 512;
    // The peak of a spectrum at a shutter value; none: the sensor stays silent.
    std::function<std::optional<int>(int32_t)> peakAt = [](int32_t) { return 0; };
    int32_t sensorShutter = 0;
    std::vector<int32_t> captures;  // the sensor's shutter value at every acquisition request
    std::string console;
};

TEST_F(AutoExposureTest, FirstCaptureInTheWindowEndsAt20WithoutALine) {
    peakAt = [](int32_t) { return 57000; };
    EXPECT_EQ(Search(90), 20);
    EXPECT_EQ(captures, std::vector<int32_t>{20});
    EXPECT_TRUE(ProbeLines().empty());
}

TEST_F(AutoExposureTest, AllDarkGoesTenfoldAndStopsAboveTheHighestValue) {
    EXPECT_EQ(Search(90), 10000);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 200, 2000}));
    EXPECT_EQ(ProbeLines(), (std::vector<std::string>{"now Shutter is :200  maxvalue is :0",
                                                      "now Shutter is :2000  maxvalue is :0"}));
}

TEST_F(AutoExposureTest, AllSaturatedShortensTo14ThenStopsAtTheLowestValue) {
    peakAt = [](int32_t) { return 65535; };
    EXPECT_EQ(Search(90), 12);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 14}));
    EXPECT_EQ(ProbeLines(), std::vector<std::string>{"now Shutter is :14  maxvalue is :65535"});
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 14);
}

TEST_F(AutoExposureTest, ProportionalEstimateIsShownUntruncatedAndCapturedTruncated) {
    peakAt = [](int32_t shutter) { return shutter == 20 ? 10000 : 57000; };
    EXPECT_EQ(Search(90), 116);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 116}));
    // printf lines of the link and the stream line of the search, in order.
    const Bytes ack = Frame(CMD_SET_SHUTTER, {});
    EXPECT_EQ(console, test::DumpLine(ack) + SpectrumDumpLine(10000) + test::DumpLine(ack) + SpectrumDumpLine(57000) +
                           "now Shutter is :116.603  maxvalue is :57000\n");
}

TEST_F(AutoExposureTest, ProbeLineKeepsItsFormatUnderTheHostsGlobalLocale) {
    peakAt = [](int32_t shutter) { return shutter == 20 ? 10000 : 57000; };
    const test::ForeignGlobalLocale locale;
    EXPECT_EQ(Search(90), 116);
    EXPECT_EQ(ProbeLines(), std::vector<std::string>{"now Shutter is :116.603  maxvalue is :57000"});
}

TEST_F(AutoExposureTest, ShorteningMultipliesInDoublePrecision) {
    // 4314.53564 x 0.7 is 3020.17495: 3020.18 once rounded to single
    // precision, 3020.17 when multiplied in single precision.
    peakAt = [](int32_t shutter) { return shutter == 20 ? 268 : shutter == 4314 ? 65535 : 57000; };
    EXPECT_EQ(Search(90), 3020);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 4314, 3020}));
    EXPECT_EQ(ProbeLines(), (std::vector<std::string>{"now Shutter is :4314.54  maxvalue is :65535",
                                                      "now Shutter is :3020.18  maxvalue is :57000"}));
}

TEST_F(AutoExposureTest, ProportionalStepRoundsTheProductBeforeAddingOne) {
    // The third estimate is 9993.72559 when estimate x (target x 0.98 / peak)
    // is rounded before the 1 is added, 9993.72461 when both are fused into
    // one rounding: the line would show 9993.72.
    peakAt = [](int32_t shutter) {
        return shutter == 20 ? 5015 : shutter == 231 ? 26175 : shutter == 512 ? 2963 : 57000;
    };
    EXPECT_EQ(Search(90), 9993);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 231, 512, 9993}));
    EXPECT_EQ(ProbeLines(), (std::vector<std::string>{"now Shutter is :231.514  maxvalue is :26175",
                                                      "now Shutter is :512.245  maxvalue is :2963",
                                                      "now Shutter is :9993.73  maxvalue is :57000"}));
}

struct WindowEdgeCase {
    int peak;
    bool accepted;
};

void PrintTo(const WindowEdgeCase& c, std::ostream* os) { *os << "peak " << c.peak; }

class WindowEdgeTest : public AutoExposureTest, public ::testing::WithParamInterface<WindowEdgeCase> {};

// At 90 % the target is 58981 and the window 56032 to 58981.
TEST_P(WindowEdgeTest, AcceptsExactlyTheWindow) {
    const int edge = GetParam().peak;
    peakAt = [edge](int32_t shutter) { return shutter == 20 ? edge : 57000; };
    const int result = Search(90);
    if (GetParam().accepted) {
        EXPECT_EQ(result, 20);
        EXPECT_EQ(captures, std::vector<int32_t>{20});
    } else {
        EXPECT_NE(result, 20);
        EXPECT_EQ(captures.size(), 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(Percent90, WindowEdgeTest,
                         ::testing::Values(WindowEdgeCase{56031, false}, WindowEdgeCase{56032, true},
                                           WindowEdgeCase{58981, true}, WindowEdgeCase{58982, false}));

TEST_F(AutoExposureTest, Percent100AcceptsASaturatedPeak) {
    peakAt = [](int32_t) { return 65535; };
    EXPECT_EQ(Search(100), 20);
    EXPECT_EQ(captures, std::vector<int32_t>{20});
}

TEST_F(AutoExposureTest, Percent0AcceptsOnlyADarkSpectrum) {
    EXPECT_EQ(Search(0), 20);
    EXPECT_EQ(captures, std::vector<int32_t>{20});
}

TEST_F(AutoExposureTest, Percent0WithLightShortensTo14And12) {
    peakAt = [](int32_t) { return 5; };
    EXPECT_EQ(Search(0), 12);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 14}));
}

TEST_F(AutoExposureTest, Percent0AcceptsADarkSpectrumAt14) {
    peakAt = [](int32_t shutter) { return shutter == 20 ? 5 : 0; };
    EXPECT_EQ(Search(0), 14);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 14}));
}

TEST_F(AutoExposureTest, Percent106NeverAcceptsEvenASaturatedPeak) {
    peakAt = [](int32_t) { return 65535; };
    EXPECT_EQ(Search(106), 10000);
    EXPECT_GT(captures.size(), 2u);
    EXPECT_EQ(ProbeLines().size(), captures.size() - 1);
}

TEST_F(AutoExposureTest, EstimateOfExactly10000IsCapturedButNotTested) {
    // 58981 x 0.98 / 1503 x 20 + 1 = 770.14679, then
    // 58981 x 0.98 / 4452 x 770.14679 + 1 rounds to exactly 10000 in single precision.
    peakAt = [](int32_t shutter) { return shutter == 20 ? 1503 : shutter == 770 ? 4452 : 65535; };
    EXPECT_EQ(Search(90), 10000);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 770, 10000}));
    EXPECT_EQ(ProbeLines(), (std::vector<std::string>{"now Shutter is :770.147  maxvalue is :4452",
                                                      "now Shutter is :10000  maxvalue is :65535"}));
}

TEST_F(AutoExposureTest, EndsAfterThe201stProbe) {
    // Never in the window: short exposures are too dark, long ones saturated.
    peakAt = [](int32_t shutter) { return shutter >= 100 ? 65535 : 1000; };
    EXPECT_EQ(Search(90), 10000);
    EXPECT_EQ(captures.size(), 202u);
    EXPECT_EQ(ProbeLines().size(), 201u);
    for (const int32_t shutter : captures) {
        EXPECT_GE(shutter, 12);
        EXPECT_LT(shutter, 10000);
    }
}

TEST_F(AutoExposureTest, FailedFirstCaptureEndsTheSearchWith0) {
    peakAt = [](int32_t) { return std::nullopt; };
    EXPECT_EQ(Search(90), 0);
    EXPECT_EQ(std::set<int32_t>(captures.begin(), captures.end()), std::set<int32_t>{20});
    EXPECT_TRUE(ProbeLines().empty());
}

TEST_F(AutoExposureTest, FailedProbeEndsTheSearchWith0) {
    peakAt = [](int32_t shutter) { return shutter == 20 ? std::optional<int>(10000) : std::nullopt; };
    EXPECT_EQ(Search(90), 0);
    EXPECT_EQ(std::set<int32_t>(captures.begin(), captures.end()), (std::set<int32_t>{20, 116}));
    EXPECT_TRUE(ProbeLines().empty());
}

TEST_F(AutoExposureTest, ExtremePercentsDoNotOverflowTheTarget) {
    peakAt = [](int32_t) { return 65535; };
    EXPECT_EQ(Search(INT_MAX), 10000);
    EXPECT_EQ(captures, std::vector<int32_t>{20});
    captures.clear();
    EXPECT_EQ(Search(INT_MIN), 12);
    EXPECT_EQ(captures, (std::vector<int32_t>{20, 14}));
}

class NoBandsAutoExposureTest : public AutoExposureTest {
protected:
    NoBandsAutoExposureTest() { bands = 0; }
};

// Without bands the peak is -1: one capture, then the estimate falls below 12.
TEST_F(NoBandsAutoExposureTest, EndsAt12AfterOneCapture) {
    peakAt = [](int32_t) { return 57000; };
    EXPECT_EQ(Search(0), 12);
    EXPECT_EQ(captures, std::vector<int32_t>{20});
    captures.clear();
    EXPECT_EQ(Search(90), 12);
    EXPECT_EQ(captures, std::vector<int32_t>{20});
}

}  // namespace
}  // namespace kq7
