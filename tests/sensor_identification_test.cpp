/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame_format.h"
#include "link/link.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"
#include "support/console_capture.h"
#include "support/foreign_locale.h"
#include "support/live_heap.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Coefficients;
using test::Frame;

const Bytes kIdentQuery{0x55, 0xAA, 0x50, 0x00, 0x01, 0x00, 0x00, 0x00};
const Bytes kBandQuery{0x55, 0xAA, 0x57, 0x00, 0x01, 0x00, 0x00, 0x00};
const Bytes kCoeffQuery{0x55, 0xAA, 0x59, 0x00, 0x01, 0x00, 0x00, 0x00};

Bytes RecordBytes(const SensorInfoC& record) {
    const uint8_t* first = reinterpret_cast<const uint8_t*>(&record);
    return Bytes(first, first + sizeof record);
}

void PutFloat(Bytes& bytes, size_t offset, float value) { std::memcpy(&bytes[offset], &value, sizeof value); }

class IdentificationTest : public test::SensorBench {};

TEST_F(IdentificationTest, SendsTheThreeQueriesAndWritesItsLinesInProgramOrder) {
    const Bytes identReply = Frame(CMD_GET_IDENT, test::TextPayload("ABC-123"));
    const Bytes bandReply = Frame(CMD_GET_BANDNUMBER, {0x00, 0x00, 0x02, 0x00});
    const Bytes coeffReply = Frame(CMD_GET_COEFF, test::CoefficientPayload(test::kLinearCoefficients));
    host.QueueReply(identReply);
    host.QueueReply(bandReply);
    host.QueueReply(coeffReply);

    test::ConsoleCapture console;
    EXPECT_EQ(KQ7SensorInit(), 1);
    // The link prints through printf, the identification through std::cout:
    // both must arrive in the order they were written.
    EXPECT_EQ(console.Take(), "KQ7SensorInit\n" + test::DumpLine(identReply) + "ABC-123\n" +
                                  test::DumpLine(bandReply) + test::DumpLine(coeffReply) +
                                  "a0:0  a1:0  a2:0.5  a3:399.9\n");
    EXPECT_EQ(host.Writes(), (std::vector<Bytes>{kIdentQuery, kBandQuery, kCoeffQuery}));
    ASSERT_NE(test::BuiltInSensor(), nullptr);
    EXPECT_EQ(test::BuiltInSensor()->Info().bandnumber, 512);
    EXPECT_EQ(test::BuiltInSensor()->Info().maxValue, 65535);
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 0);
}

TEST_F(IdentificationTest, RecordHoldsAll228BytesWithZeroTails) {
    ASSERT_EQ(Identify("ABC-123", 512), 1);
    const SensorInfoC record = KQ7Get_SensorInfo();

    Bytes expected(228, 0x00);
    expected[0] = 'A';
    expected[1] = 'B';
    expected[2] = 'C';
    expected[100] = 0xFF;  // maxValue 65535, little-endian
    expected[101] = 0xFF;
    expected[105] = 0x02;  // bandnumber 512, little-endian
    expected[108] = '1';
    expected[109] = '2';
    expected[110] = '3';
    PutFloat(expected, 216, 0.5f);
    PutFloat(expected, 220, 399.9f);
    EXPECT_EQ(RecordBytes(record), expected);
}

TEST_F(IdentificationTest, RecordSendsNothingAndKeepsTheIdentificationCoefficients) {
    ASSERT_EQ(Identify("ABC-123", 512, {1.5, -2.5, 0.25, 400.0}), 1);
    const size_t before = host.Writes().size();
    host.SetResponder([](const Bytes&) { return test::Reply{Frame(CMD_SET_COEFF, {})}; });
    const double written[4] = {9.0, 8.0, 7.0, 6.0};
    {
        test::ConsoleCapture console;
        ASSERT_EQ(KQ7SetWeaveLenthCoeff(written, 4), 1);
    }
    const size_t afterWrite = host.Writes().size();
    const SensorInfoC record = KQ7Get_SensorInfo();
    EXPECT_EQ(host.Writes().size(), afterWrite);
    EXPECT_EQ(afterWrite, before + 1);
    EXPECT_EQ(record.coeff[0], 1.5f);
    EXPECT_EQ(record.coeff[1], -2.5f);
    EXPECT_EQ(record.coeff[2], 0.25f);
    EXPECT_EQ(record.coeff[3], 400.0f);
}

TEST(WavelengthTest, LinearExample) {
    EXPECT_EQ(static_cast<float>(kq7_wavelength(test::kLinearCoefficients.data(), 1)), static_cast<float>(400.4));
    EXPECT_EQ(static_cast<float>(kq7_wavelength(test::kLinearCoefficients.data(), 2)), static_cast<float>(400.9));
    EXPECT_EQ(static_cast<float>(kq7_wavelength(test::kLinearCoefficients.data(), 512)), static_cast<float>(655.9));
}

struct PolynomialCase {
    Coefficients coeffs;
    std::vector<double> wavelengths;  // bands 1, 2, ...
};

void PrintTo(const PolynomialCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.coeffs); }

class PolynomialTest : public ::testing::TestWithParam<PolynomialCase> {};

// a0 is the cubic term and a3 the constant, over band numbers from 1; the sum
// runs ((p + q) + r) + a3 in double precision.
TEST_P(PolynomialTest, EvaluatesEveryBand) {
    for (size_t i = 0; i < GetParam().wavelengths.size(); ++i) {
        EXPECT_EQ(kq7_wavelength(GetParam().coeffs.data(), static_cast<double>(i + 1)), GetParam().wavelengths[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Terms, PolynomialTest,
    ::testing::Values(PolynomialCase{{1, 0, 0, 0}, {1, 8, 27}}, PolynomialCase{{0, 1, 0, 0}, {1, 4, 9}},
                      PolynomialCase{{0, 0, 1, 0}, {1, 2, 3}}, PolynomialCase{{0, 0, 0, 1}, {1, 1, 1}},
                      // Left to right: the large terms cancel before a3 is added.
                      PolynomialCase{{1e20, -1e20, 0, 0.5}, {0.5}},
                      PolynomialCase{{10000000001.0, -1e10, 0, 0}, {1}}));

// Every product is rounded to double before it is summed: with a product
// fused into the following addition, band 113 would come out as 430.285736.
TEST(WavelengthTest, ProductsAreRoundedBeforeTheyAreSummed) {
    const Coefficients a{1.5e-7, -3e-4, 0.3, 400.00001679277341};
    EXPECT_EQ(static_cast<float>(kq7_wavelength(a.data(), 113)), 430.285767f);
}

// The axis of a record is the polynomial of its float coefficients at every
// band; a buffer too small for the band count is refused untouched.
TEST(WavelengthTest, AxisOfARecordFillsEveryBandOrNothing) {
    SensorInfoC record{};
    record.bandnumber = 3;
    record.coeff[2] = 0.5f;
    record.coeff[3] = 399.9f;
    std::vector<double> nm(3, -1.0);
    ASSERT_EQ(kq7_wavelengths(&record, nm.data(), 3), 3);
    EXPECT_EQ(nm, (std::vector<double>{0.5 + double(399.9f), 1.0 + double(399.9f), 1.5 + double(399.9f)}));
    std::vector<double> small(2, -1.0);
    EXPECT_EQ(kq7_wavelengths(&record, small.data(), 2), KQ7_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(small, (std::vector<double>{-1.0, -1.0}));
    record.bandnumber = 0;
    EXPECT_EQ(kq7_wavelengths(&record, nm.data(), 3), KQ7_ERR_INVALID_ARGUMENT);
}

// Zero bands still give the coefficient line.
TEST_F(IdentificationTest, CoefficientLineUsesTheStreamsDefaultFormat) {
    test::QueueIdentification(host, "X", 0, {1e-9, -2.5e-05, 300.0, 1234567.0});
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    EXPECT_EQ(test::LinesStartingWith(console.Take(), "a0:"),
              std::vector<std::string>{"a0:1e-09  a1:-2.5e-05  a2:300  a3:1.23457e+06"});
    EXPECT_EQ(test::BuiltInSensor()->Info().bandnumber, 0);
}

TEST_F(IdentificationTest, CoefficientLineKeepsItsFormatUnderTheHostsGlobalLocale) {
    test::QueueIdentification(host, "X", 0, {0.0, 0.0, 0.5, 1234.5});
    const test::ForeignGlobalLocale locale;
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    EXPECT_EQ(test::LinesStartingWith(console.Take(), "a0:"),
              std::vector<std::string>{"a0:0  a1:0  a2:0.5  a3:1234.5"});
}

struct SplitCase {
    std::string reply;
    std::string identField1;
    std::string identField2;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.reply); }

class IdentSplitTest : public test::SensorBench, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(IdentSplitTest, FieldsAreTheFirstTwoPiecesAndTheLineIsTheWholeText) {
    test::QueueIdentification(host, GetParam().reply);
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    const std::string output = console.Take();
    // The identification line follows the first frame dump.
    const size_t lineStart = output.find('\n', output.find("Data from sensor: ")) + 1;
    EXPECT_EQ(output.substr(lineStart, GetParam().reply.size() + 1), GetParam().reply + "\n");
    const SensorInfoC record = KQ7Get_SensorInfo();
    EXPECT_EQ(std::string(record.identField1), GetParam().identField1);
    EXPECT_EQ(std::string(record.identField2), GetParam().identField2);
}

INSTANTIATE_TEST_SUITE_P(Replies, IdentSplitTest,
                         ::testing::Values(SplitCase{"ABC-123", "ABC", "123"}, SplitCase{"ABC-123-X9", "ABC", "123"},
                                           SplitCase{"ABC", "ABC", ""}, SplitCase{"-123", "", "123"},
                                           SplitCase{"ABC--X9", "ABC", ""}, SplitCase{"ABC-", "ABC", ""},
                                           SplitCase{"", "", ""}));

TEST_F(IdentificationTest, NulInsideTheReplyEndsTheText) {
    test::QueueIdentification(host, std::string("AB\0CD-EF", 8));
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    const std::string output = console.Take();
    EXPECT_NE(output.find("\nAB\nData from sensor: "), std::string::npos);
    EXPECT_EQ(output.find("CD"), std::string::npos);
    EXPECT_STREQ(test::BuiltInSensor()->Info().identField1, "AB");
    EXPECT_STREQ(test::BuiltInSensor()->Info().identField2, "");
}

struct BandCountCase {
    Bytes payload;
    int32_t bandnumber;
};

void PrintTo(const BandCountCase& c, std::ostream* os) {
    *os << c.bandnumber << " from " << c.payload.size() << " bytes";
}

class BandCountTest : public test::SensorBench, public ::testing::WithParamInterface<BandCountCase> {};

// The count is big-endian; missing bytes are the low-order ones and count as
// zero, and only the first four bytes count.
TEST_P(BandCountTest, ReadsTheBigEndianCount) {
    host.QueueReply(Frame(CMD_GET_IDENT, test::TextPayload("ABC-123")));
    host.QueueReply(Frame(CMD_GET_BANDNUMBER, GetParam().payload));
    host.QueueReply(Frame(CMD_GET_COEFF, test::CoefficientPayload(test::kLinearCoefficients)));
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    EXPECT_EQ(test::BuiltInSensor()->Info().bandnumber, GetParam().bandnumber);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, BandCountTest,
    ::testing::Values(BandCountCase{{0x00, 0x00, 0x02, 0x00}, 512}, BandCountCase{{0x00, 0x00, 0x02}, 512},
                      BandCountCase{{0x00, 0x00, 0x02, 0x00, 0x07}, 512},
                      BandCountCase{{0x00, 0x00, 0x08, 0x00}, 2048},
                      // Whatever follows a short payload in the receive buffer is not read.
                      BandCountCase{{0x00, 0x00}, 0}, BandCountCase{{0x00}, 0}, BandCountCase{{}, 0}));

TEST_F(IdentificationTest, ReplyOf100BytesOrMoreIsCutTo99) {
    const std::string reply = std::string(50, 'A') + "-" + std::string(69, 'B');
    test::QueueIdentification(host, reply);
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    EXPECT_NE(console.Take().find("\n" + reply.substr(0, 99) + "\n"), std::string::npos);
    const SensorInfoC record = KQ7Get_SensorInfo();
    EXPECT_EQ(std::string(record.identField1), std::string(50, 'A'));
    EXPECT_EQ(std::string(record.identField2), std::string(48, 'B'));
}

TEST_F(IdentificationTest, CoefficientsComeFromTheFirst32BytesOfALongerReply) {
    host.QueueReply(Frame(CMD_GET_IDENT, test::TextPayload("ABC-123")));
    host.QueueReply(Frame(CMD_GET_BANDNUMBER, test::BigEndianInt32(1)));
    host.QueueReply(Frame(CMD_GET_COEFF, test::Concat(test::CoefficientPayload({0, 0, 2, 3}), test::BigEndianDouble(7))));
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    EXPECT_EQ(test::BuiltInSensor()->Info().coeff[2], 2.0f);
    EXPECT_EQ(test::BuiltInSensor()->Info().coeff[3], 3.0f);
}

TEST_F(IdentificationTest, BandCountOutOfRangeFailsBeforeTheCoefficientQuery) {
    for (const int32_t bands : {-1, 2049}) {
        const size_t before = host.Writes().size();
        host.QueueReply(Frame(CMD_GET_IDENT, test::TextPayload("ABC-123")));
        host.QueueReply(Frame(CMD_GET_BANDNUMBER, test::BigEndianInt32(bands)));
        test::ConsoleCapture console;
        EXPECT_EQ(KQ7SensorInit(), 0) << bands;
        EXPECT_EQ(test::LinesStartingWith(console.Take(), "a0:").size(), 0u);
        EXPECT_EQ(WritesSince(before), (std::vector<Bytes>{kIdentQuery, kBandQuery})) << bands;
        EXPECT_EQ(test::BuiltInSensor()->Info().bandnumber, 0);
    }
}

TEST_F(IdentificationTest, CoefficientReplyShorterThan32BytesFails) {
    host.QueueReply(Frame(CMD_GET_IDENT, test::TextPayload("ABC-123")));
    host.QueueReply(Frame(CMD_GET_BANDNUMBER, test::BigEndianInt32(512)));
    Bytes shortPayload = test::CoefficientPayload({1, 2, 3, 4});
    shortPayload.pop_back();
    host.QueueReply(Frame(CMD_GET_COEFF, shortPayload));
    test::ConsoleCapture console;
    EXPECT_EQ(KQ7SensorInit(), 0);
    EXPECT_EQ(test::LinesStartingWith(console.Take(), "a0:").size(), 0u);
    const SensorInfoC record = KQ7Get_SensorInfo();
    for (float coefficient : record.coeff) {
        EXPECT_EQ(coefficient, 0.0f);
    }
}

enum class Failure { WrongCrc, WrongCommand, Silence };

struct FailingQueryCase {
    size_t failingQuery;  // 0 identification, 1 band count, 2 coefficients
    Failure failure;
};

void PrintTo(const FailingQueryCase& c, std::ostream* os) {
    static const char* const kFailures[] = {"wrong CRC", "wrong command", "silence"};
    *os << "query " << c.failingQuery << ", " << kFailures[static_cast<int>(c.failure)];
}

class FailingQueryTest : public test::SensorBench, public ::testing::WithParamInterface<FailingQueryCase> {};

TEST_P(FailingQueryTest, StopsAtTheFirstFailedQueryAndReturns0) {
    const std::vector<Bytes> goodReplies{Frame(CMD_GET_IDENT, test::TextPayload("ABC-123")),
                                         Frame(CMD_GET_BANDNUMBER, test::BigEndianInt32(512)),
                                         Frame(CMD_GET_COEFF, test::CoefficientPayload(test::kLinearCoefficients))};
    const size_t failing = GetParam().failingQuery;
    for (size_t i = 0; i < failing; ++i) {
        host.QueueReply(goodReplies[i]);
    }
    switch (GetParam().failure) {
        case Failure::WrongCrc:
            host.QueueReply(test::WithCrcBytes(goodReplies[failing], 0x12, 0x34));
            break;
        case Failure::WrongCommand:
            host.QueueReply(Frame(REPLY_BUSY, {}));
            break;
        case Failure::Silence:
            host.QueueSilence();
            break;
    }
    // Replies that a query sent after the failure would receive.
    for (size_t i = failing + 1; i < goodReplies.size(); ++i) {
        host.QueueReply(goodReplies[i]);
    }
    test::ConsoleCapture console;
    EXPECT_EQ(KQ7SensorInit(), 0);
    const std::vector<Bytes> queries{kIdentQuery, kBandQuery, kCoeffQuery};
    EXPECT_EQ(host.Writes(), std::vector<Bytes>(queries.begin(), queries.begin() + failing + 1));
}

INSTANTIATE_TEST_SUITE_P(
    EachQuery, FailingQueryTest,
    ::testing::Values(FailingQueryCase{0, Failure::WrongCrc}, FailingQueryCase{0, Failure::WrongCommand},
                      FailingQueryCase{0, Failure::Silence}, FailingQueryCase{1, Failure::WrongCrc},
                      FailingQueryCase{1, Failure::WrongCommand}, FailingQueryCase{1, Failure::Silence},
                      FailingQueryCase{2, Failure::WrongCrc}, FailingQueryCase{2, Failure::WrongCommand},
                      FailingQueryCase{2, Failure::Silence}));

// Pretends that no host has registered its functions; the flag is never
// reset by the library itself.
// Exit code 0 when KQ7SensorInit, with no functions ever registered, prints
// its line, returns 0 and leaves the record zeroed.
[[noreturn]] void ExitWithInitWithoutTransport() {
    test::ConsoleCapture console;
    const bool refused = KQ7SensorInit() == 0;
    const bool printed = console.Take() == "KQ7SensorInit\n";
    std::exit(refused && printed && RecordBytes(KQ7Get_SensorInfo()) == Bytes(228, 0x00) ? 0 : 1);
}

// Runs in a freshly started copy of the test program.
TEST(IdentificationWithoutTransport, Returns0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithInitWithoutTransport(), ::testing::ExitedWithCode(0), "");
}

TEST_F(IdentificationTest, FreshSensorStartsZeroed) {
    const SensorInfo fresh;
    EXPECT_EQ(fresh.maxValue, 0);
    EXPECT_EQ(fresh.bandnumber, 0);
    EXPECT_EQ(fresh.flag, 0);
    for (float coefficient : fresh.coeff) {
        EXPECT_EQ(coefficient, 0.0f);
    }
    // Dirty the heap so that a fresh Sensor that skipped its zeroing would
    // likely show old bytes.
    auto* dirty = new uint8_t[sizeof(Sensor)];
    std::memset(dirty, 0xA5, sizeof(Sensor));
    delete[] dirty;
    const Log log;
    Link link(log);
    const auto sensor = std::make_unique<Sensor>(link, log);
    EXPECT_EQ(sensor->CurrentShutter(), 0);
    EXPECT_FALSE(sensor->ShutterKnown());
    EXPECT_EQ(Bytes(reinterpret_cast<const uint8_t*>(sensor->Samples()),
                    reinterpret_cast<const uint8_t*>(sensor->Samples()) + sizeof(uint16_t) * kMaxBands),
              Bytes(sizeof(uint16_t) * kMaxBands, 0x00));
}

TEST_F(IdentificationTest, SecondInitQueriesAgainAndStartsAtShutter0) {
    ASSERT_EQ(Identify("ABC-123", 512), 1);
    host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
    host.QueueReply(Frame(CMD_GET_DATA, test::SpectrumPayload(std::vector<uint16_t>(515, 1))));
    std::vector<uint16_t> buffer(512);
    {
        test::ConsoleCapture console;
        ASSERT_EQ(KQ7GetData(buffer.data(), 100), 512);
    }
    ASSERT_EQ(test::BuiltInSensor()->CurrentShutter(), 100);

    const size_t before = host.Writes().size();
    ASSERT_EQ(Identify("XYZ-9", 256), 1);
    EXPECT_EQ(WritesSince(before), (std::vector<Bytes>{kIdentQuery, kBandQuery, kCoeffQuery}));
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 0);
    EXPECT_STREQ(test::BuiltInSensor()->Info().identField1, "XYZ");
    EXPECT_EQ(test::BuiltInSensor()->Info().bandnumber, 256);
}

// Each KQ7SensorInit starts the sensor anew, and keeps no memory from the
// one before (the sanitizer build's leak checker watches this too).
TEST_F(IdentificationTest, RepeatedIdentificationKeepsNoMemory) {
    ASSERT_EQ(Identify("ABC-123", 2048), 1);
    const size_t settled = test::LiveHeapBytes();
    constexpr int kReplacements = 40;
    for (int i = 0; i < kReplacements; ++i) {
        ASSERT_EQ(Identify("ABC-123", 2048), 1);
    }
    const size_t perReplacement = sizeof(Sensor);
    const size_t grown = test::LiveHeapBytes() - std::min(settled, test::LiveHeapBytes());
    // The scripted host keeps a copy of every request; that is all that may grow.
    EXPECT_LT(grown, kReplacements * perReplacement / 4);
}

}  // namespace
}  // namespace kq7
