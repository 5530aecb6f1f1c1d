/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"
#include "support/console_capture.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Frame;

const Bytes kAcquireRequest{0x55, 0xAA, 0x61, 0x00, 0x01, 0x00, 0x00, 0x00};
const Bytes kSetShutter1000{0x55, 0xAA, 0x51, 0x00, 0x04, 0x00, 0x00, 0x03, 0xE8, 0x41, 0x2E};
const Bytes kShutterAck = Frame(CMD_SET_SHUTTER, {});

constexpr uint16_t kSentinel = 0xBEEF;

// The usual spectrum reply: 515 samples, sample i = i + 1 + offset.
Bytes SpectrumReply(uint16_t offset = 0, size_t count = 515) {
    std::vector<uint16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<uint16_t>(i + 1 + offset);
    }
    return Frame(CMD_GET_DATA, test::SpectrumPayload(samples));
}

Bytes SampleBytes(const uint16_t* samples, size_t count) {
    const uint8_t* first = reinterpret_cast<const uint8_t*>(samples);
    return Bytes(first, first + count * sizeof(uint16_t));
}

class AcquisitionTest : public test::SensorBench {
protected:
    // An identified sensor known to hold shutter value 0.
    void SetUp() override { IdentifyAtShutter0(512); }

    void IdentifyAtShutter0(int32_t bands) {
        ASSERT_EQ(Identify("ABC-123", bands), 1);
        host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
        host.QueueReply(SpectrumReply(0, static_cast<size_t>(bands)));
        ASSERT_EQ(GetData(buffer.data(), 0), bands);
        std::fill(buffer.begin(), buffer.end(), kSentinel);
    }

    // Runs KQ7GetData with its console lines discarded.
    int GetData(uint16_t* buffer, int shutter) {
        test::ConsoleCapture console;
        return KQ7GetData(buffer, shutter);
    }

    void SetShutterOpen(int state) {
        test::ConsoleCapture console;
        KQ7SetShutterOpen(state);
    }

    std::vector<uint16_t> buffer = std::vector<uint16_t>(2048, kSentinel);
};

TEST_F(AcquisitionTest, ShutterCommandsCarryOneByte01) {
    const size_t before = host.Writes().size();
    host.QueueReply(Frame(CMD_SHUTTER_CLOSE, {}));
    host.QueueReply(Frame(CMD_SHUTTER_OPEN, {}));
    SetShutterOpen(0);
    SetShutterOpen(1);
    EXPECT_EQ(WritesSince(before), (std::vector<Bytes>{{0x55, 0xAA, 0x55, 0x00, 0x01, 0x01, 0x11, 0x89},
                                                       {0x55, 0xAA, 0x56, 0x00, 0x01, 0x01, 0x11, 0x89}}));
}

TEST_F(AcquisitionTest, OtherShutterStatesSendNothing) {
    const size_t before = host.Writes().size();
    SetShutterOpen(2);
    SetShutterOpen(-1);
    EXPECT_TRUE(WritesSince(before).empty());
}

TEST_F(AcquisitionTest, UnansweredShutterCommandIsResentAsTheLinkDoes) {
    const size_t before = host.Writes().size();
    SetShutterOpen(1);
    const Bytes open{0x55, 0xAA, 0x56, 0x00, 0x01, 0x01, 0x11, 0x89};
    EXPECT_EQ(WritesSince(before), std::vector<Bytes>(6, open));
}

// Identification does not tell the sensor's shutter value: it may hold one
// from an earlier host, so even 0 is sent.
TEST_F(AcquisitionTest, FirstCaptureAfterIdentificationSendsTheShutterValueEvenIf0) {
    ASSERT_EQ(Identify("ABC-123", 512), 1);
    const size_t before = host.Writes().size();
    host.QueueReply(kShutterAck);
    host.QueueReply(SpectrumReply());
    EXPECT_EQ(GetData(buffer.data(), 0), 512);
    EXPECT_EQ(WritesSince(before), (std::vector<Bytes>{Frame(CMD_SET_SHUTTER, {0, 0, 0, 0}), kAcquireRequest}));
}

TEST_F(AcquisitionTest, ShutterValueIsSentOnlyWhenItChanges) {
    const size_t before = host.Writes().size();
    host.QueueReply(kShutterAck);
    host.QueueReply(SpectrumReply());
    host.QueueReply(SpectrumReply());
    EXPECT_EQ(GetData(buffer.data(), 1000), 512);
    EXPECT_EQ(GetData(buffer.data(), 1000), 512);
    EXPECT_EQ(WritesSince(before), (std::vector<Bytes>{kSetShutter1000, kAcquireRequest, kAcquireRequest}));
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 1000);
}

TEST_F(AcquisitionTest, NegativeShutterGoesOutAsTwosComplement) {
    const size_t before = host.Writes().size();
    host.QueueReply(kShutterAck);
    host.QueueReply(SpectrumReply());
    EXPECT_EQ(GetData(buffer.data(), -1), 512);
    const std::vector<Bytes> writes = WritesSince(before);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], Frame(CMD_SET_SHUTTER, {0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(AcquisitionTest, HostGetsBandnumberSamplesAsSentAndNothingMore) {
    const Bytes reply = SpectrumReply();
    host.QueueReply(reply);
    EXPECT_EQ(GetData(buffer.data(), 0), 512);
    const Bytes payload(reply.begin() + 5, reply.end() - 2);
    // Low byte first, passed on unconverted.
    EXPECT_EQ(SampleBytes(buffer.data(), 512), Bytes(payload.begin(), payload.begin() + 1024));
    EXPECT_EQ(buffer[512], kSentinel);
    // The capture itself holds the whole payload.
    EXPECT_EQ(SampleBytes(test::BuiltInSensor()->Samples(), 515), payload);
}

// A spectrum needs two payload bytes per band: a shorter reply fails the
// capture like a missing one, and the host's buffer keeps what it held.
class SpectrumLengthTest : public AcquisitionTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(SpectrumLengthTest, FewerThanTwoBytesPerBandFailTheCapture) {
    const std::vector<uint16_t> earlier(test::BuiltInSensor()->Samples(), test::BuiltInSensor()->Samples() + 2048);
    host.QueueReply(Frame(CMD_GET_DATA, Bytes(GetParam(), 0x11)));
    const bool whole = GetParam() >= 1024;
    EXPECT_EQ(GetData(buffer.data(), 0), whole ? 512 : 0);
    EXPECT_EQ(buffer[0], whole ? 0x1111 : kSentinel);
    EXPECT_EQ(buffer[512], kSentinel);
    if (!whole) {
        EXPECT_EQ(std::vector<uint16_t>(test::BuiltInSensor()->Samples(), test::BuiltInSensor()->Samples() + 2048), earlier);
    }
}

INSTANTIATE_TEST_SUITE_P(PayloadBytesFor512Bands, SpectrumLengthTest, ::testing::Values(0u, 1023u, 1024u));

TEST_F(AcquisitionTest, SensorWithMoreThan515BandsGetsAllOfThemAndNoMore) {
    IdentifyAtShutter0(2048);
    host.QueueReply(SpectrumReply(0, 2048));
    ASSERT_EQ(GetData(buffer.data(), 0), 2048);
    EXPECT_EQ(buffer[514], 515);
    EXPECT_EQ(buffer[515], 516);
    EXPECT_EQ(buffer[2047], 2048);

    // A payload longer than the sample array is cut at its end.
    host.QueueReply(SpectrumReply(5, 2500));
    ASSERT_EQ(GetData(buffer.data(), 0), 2048);
    EXPECT_EQ(buffer[2047], 2053);
}

TEST_F(AcquisitionTest, UnacknowledgedShutterValueFailsTheCaptureAndIsSentAgain) {
    host.QueueReply(SpectrumReply());
    ASSERT_EQ(GetData(buffer.data(), 0), 512);
    const std::vector<uint16_t> earlier(test::BuiltInSensor()->Samples(), test::BuiltInSensor()->Samples() + 2048);
    std::fill(buffer.begin(), buffer.end(), kSentinel);

    const size_t before = host.Writes().size();
    host.QueueReply(test::WithCrcBytes(kShutterAck, 0x12, 0x34));
    EXPECT_EQ(GetData(buffer.data(), 1000), 0);
    EXPECT_EQ(WritesSince(before), std::vector<Bytes>{kSetShutter1000});
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 0);
    EXPECT_EQ(buffer, std::vector<uint16_t>(2048, kSentinel));
    EXPECT_EQ(std::vector<uint16_t>(test::BuiltInSensor()->Samples(), test::BuiltInSensor()->Samples() + 2048), earlier);

    host.QueueReply(kShutterAck);
    host.QueueReply(SpectrumReply());
    EXPECT_EQ(GetData(buffer.data(), 1000), 512);
    EXPECT_EQ(WritesSince(before), (std::vector<Bytes>{kSetShutter1000, kSetShutter1000, kAcquireRequest}));
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 1000);
}

// The sensor may have taken a value whose acknowledgement was lost: the
// value it held before is not trusted either.
TEST_F(AcquisitionTest, AfterALostAcknowledgementTheOldValueIsSentAgain) {
    const size_t before = host.Writes().size();
    host.QueueReply(test::WithCrcBytes(kShutterAck, 0x12, 0x34));
    EXPECT_EQ(GetData(buffer.data(), 1000), 0);
    host.QueueReply(kShutterAck);
    host.QueueReply(SpectrumReply());
    EXPECT_EQ(GetData(buffer.data(), 0), 512);
    EXPECT_EQ(WritesSince(before),
              (std::vector<Bytes>{kSetShutter1000, Frame(CMD_SET_SHUTTER, {0, 0, 0, 0}), kAcquireRequest}));
}

// An export called from inside a host function (here the read function of a
// running capture) returns its failure value at once and sends nothing; the
// running capture goes on with the functions it had.
TEST_F(AcquisitionTest, ExportsCalledFromAHostFunctionDoNotReenter) {
    const double coeffs[4] = {0.0, 0.0, 0.5, 399.9};
    std::vector<uint16_t> inner(2048, kSentinel);
    std::vector<int> results;
    SensorInfoC info{};
    host.SetReadHook([&] {
        if (results.empty()) {
            results = {KQ7SensorInit(), KQ7GetData(inner.data(), 7), KQ7OptSnenser(90),
                       KQ7SetWeaveLenthCoeff(coeffs, 4)};
            KQ7SetShutterOpen(1);
            info = KQ7Get_SensorInfo();
            KQ7Set_Serial_FUN(nullptr, nullptr);
        }
    });
    const size_t before = host.Writes().size();
    host.QueueReply(SpectrumReply());
    EXPECT_EQ(GetData(buffer.data(), 0), 512);
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(info.bandnumber, 0);
    EXPECT_EQ(inner, std::vector<uint16_t>(2048, kSentinel));
    EXPECT_EQ(WritesSince(before), std::vector<Bytes>{kAcquireRequest});
}

TEST_F(AcquisitionTest, SilentSensorNeverTakesTheShutterValue) {
    const size_t before = host.Writes().size();
    EXPECT_EQ(GetData(buffer.data(), 500), 0);
    const std::vector<Bytes> writes = WritesSince(before);
    EXPECT_EQ(writes.size(), 6u);  // the command and five resends, no acquisition
    EXPECT_EQ(writes.back()[2], CMD_SET_SHUTTER);
    EXPECT_EQ(test::BuiltInSensor()->CurrentShutter(), 0);
}

TEST_F(AcquisitionTest, FailedAcquisitionLeavesHostBufferAndSamplesUntouched) {
    host.QueueReply(SpectrumReply(7));
    ASSERT_EQ(GetData(buffer.data(), 0), 512);
    const std::vector<uint16_t> earlier(test::BuiltInSensor()->Samples(), test::BuiltInSensor()->Samples() + 2048);
    std::fill(buffer.begin(), buffer.end(), kSentinel);

    // A partial spectrum in the receive buffer, then silence.
    const Bytes reply = SpectrumReply(3000);
    host.QueueReply(Bytes(reply.begin(), reply.begin() + 600));
    EXPECT_EQ(GetData(buffer.data(), 0), 0);
    EXPECT_EQ(buffer, std::vector<uint16_t>(2048, kSentinel));
    EXPECT_EQ(std::vector<uint16_t>(test::BuiltInSensor()->Samples(), test::BuiltInSensor()->Samples() + 2048), earlier);
}

TEST_F(AcquisitionTest, NullHostBufferCapturesNothing) {
    const size_t before = host.Writes().size();
    EXPECT_EQ(GetData(nullptr, 0), 0);
    EXPECT_TRUE(WritesSince(before).empty());
}

TEST(PeakValueTest, LargestOfTheFirstCountSamples) {
    const std::vector<uint16_t> samples{0, 65535, 7};
    EXPECT_EQ(Sensor::PeakValue(samples.data(), 3), 65535);
    EXPECT_EQ(Sensor::PeakValue(samples.data(), 1), 0);
    EXPECT_EQ(Sensor::PeakValue(samples.data(), 0), -1);
    EXPECT_EQ(Sensor::PeakValue(samples.data(), -5), -1);
}

TEST(PeakValueTest, SampleBytesCountLowByteFirst) {
    uint16_t samples[2];
    const uint8_t bytes[4] = {0x34, 0x12, 0x00, 0x10};
    std::memcpy(samples, bytes, sizeof bytes);
    EXPECT_EQ(Sensor::PeakValue(samples, 1), 0x1234);
    EXPECT_EQ(Sensor::PeakValue(samples, 2), 0x1234);
}

}  // namespace
}  // namespace kq7
