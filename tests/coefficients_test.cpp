/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "support/console_capture.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Frame;

const Bytes kAck = Frame(CMD_SET_COEFF, {});

class CoefficientsTest : public test::SensorBench {
protected:
    void SetUp() override { ASSERT_EQ(Identify(), 1); }

    // Runs KQ7SetWeaveLenthCoeff and keeps its console lines and the frames
    // it wrote.
    int Write(const double* coeffs, int count) {
        const size_t before = host.Writes().size();
        test::ConsoleCapture capture;
        const int result = KQ7SetWeaveLenthCoeff(coeffs, count);
        console = capture.Take();
        written = WritesSince(before);
        return result;
    }

    std::string console;
    std::vector<Bytes> written;
};

TEST_F(CoefficientsTest, LogsThenSendsEachCoefficientBigEndian) {
    host.QueueReply(kAck);
    const double coeffs[4] = {1.0, 0.0, 0.0, 0.0};
    EXPECT_EQ(Write(coeffs, 4), 1);
    Bytes payload{0x3F, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    payload.resize(32, 0x00);
    EXPECT_EQ(written, std::vector<Bytes>{Frame(CMD_SET_COEFF, payload)});
    EXPECT_EQ(written[0].size(), 39u);
    EXPECT_EQ(Bytes(written[0].begin(), written[0].begin() + 5), (Bytes{0x55, 0xAA, 0x58, 0x00, 0x20}));
    // The echo (printf) comes before the link's dump of the reply.
    EXPECT_EQ(console, "c++:a0:1.000000  a1:0.000000  a2:0.000000  a3:0.000000\n" + test::DumpLine(kAck));
}

TEST_F(CoefficientsTest, NegativeAndLargeValuesAndTheHostsArrayUnchanged) {
    host.QueueReply(kAck);
    const double coeffs[4] = {-2.5, 400.0, 0.5, -0.0};
    double copy[4];
    std::memcpy(copy, coeffs, sizeof coeffs);
    EXPECT_EQ(Write(coeffs, 4), 1);
    EXPECT_EQ(std::memcmp(copy, coeffs, sizeof coeffs), 0);
    ASSERT_EQ(written.size(), 1u);
    const Bytes payload(written[0].begin() + 5, written[0].end() - 2);
    EXPECT_EQ(payload, (Bytes{0xC0, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,    // -2.5
                              0x40, 0x79, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,    // 400.0
                              0x3F, 0xE0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,    // 0.5
                              0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));  // -0.0
    EXPECT_EQ(test::LinesStartingWith(console, "c++:"),
              std::vector<std::string>{"c++:a0:-2.500000  a1:400.000000  a2:0.500000  a3:-0.000000"});
}

TEST_F(CoefficientsTest, EveryCoefficientBeyondTheFourthIsBigEndianToo) {
    host.QueueReply(kAck);
    const double coeffs[5] = {1.0, 2.0, 3.0, 4.0, -2.5};
    EXPECT_EQ(Write(coeffs, 5), 1);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], Frame(CMD_SET_COEFF, test::Concat(test::CoefficientPayload({1.0, 2.0, 3.0, 4.0}),
                                                            test::BigEndianDouble(-2.5))));
    // The echo shows the first four only.
    EXPECT_EQ(test::LinesStartingWith(console, "c++:"),
              std::vector<std::string>{"c++:a0:1.000000  a1:2.000000  a2:3.000000  a3:4.000000"});
}

TEST_F(CoefficientsTest, OneHundredTwentyFourFillOneFrame) {
    host.QueueReply(kAck);
    std::vector<double> coeffs(124);
    Bytes payload;
    for (size_t k = 0; k < coeffs.size(); ++k) {
        coeffs[k] = static_cast<double>(k) + 0.25;
        payload = test::Concat(payload, test::BigEndianDouble(coeffs[k]));
    }
    EXPECT_EQ(Write(coeffs.data(), 124), 1);
    EXPECT_EQ(written, std::vector<Bytes>{Frame(CMD_SET_COEFF, payload)});
    EXPECT_EQ(written[0].size(), 999u);
}

TEST_F(CoefficientsTest, RefusedArgumentsSendNothing) {
    const std::vector<double> coeffs(125, 1.0);
    for (const int count : {3, 0, -1, 125}) {
        EXPECT_EQ(Write(coeffs.data(), count), 0) << count;
        EXPECT_TRUE(written.empty()) << count;
        EXPECT_EQ(console, "") << count;
    }
    EXPECT_EQ(Write(nullptr, 4), 0);
    EXPECT_TRUE(written.empty());
}

TEST_F(CoefficientsTest, ReturnsOneOnlyWhenAcknowledged) {
    const double coeffs[4] = {0.0, 0.0, 0.5, 399.9};
    host.QueueReply(test::WithCrcBytes(kAck, 0x12, 0x34));
    EXPECT_EQ(Write(coeffs, 4), 0);
    EXPECT_EQ(written.size(), 1u);

    host.QueueReply(Frame(REPLY_BUSY, {}));
    host.QueueReply(kAck);  // answers the resend
    EXPECT_EQ(Write(coeffs, 4), 1);

    EXPECT_EQ(Write(coeffs, 4), 0);  // never answered
    EXPECT_EQ(written.size(), 6u);
    EXPECT_NE(console.find("ERROR date not enough,retunr !!\n"), std::string::npos);
}

}  // namespace
}  // namespace kq7
