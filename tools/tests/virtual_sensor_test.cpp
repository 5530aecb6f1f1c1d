/* SPDX-License-Identifier: MIT */
#include "sim/virtual_sensor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "frame_codec.h"
#include "frame_format.h"
#include "byte_order.h"
#include "nerb_kq7lib.h"

namespace kq7sim {
namespace {

using namespace kq7;

Bytes Request(uint8_t command, const Bytes& payload) {
    Bytes frame(payload.size() + kFrameOverhead);
    PackFrame(command, static_cast<uint16_t>(payload.size()), payload.data(), frame.data());
    return frame;
}

Bytes ShutterValuePayload(int32_t value) {
    Bytes payload(4);
    EncodeBigEndianInt32(value, payload.data());
    return payload;
}

// Samples arrive low byte first.
std::vector<uint16_t> Samples(const Bytes& payload) {
    std::vector<uint16_t> samples;
    for (size_t i = 0; i + 1 < payload.size(); i += 2) {
        samples.push_back(static_cast<uint16_t>(payload[i] | payload[i + 1] << 8));
    }
    return samples;
}

class VirtualSensorTest : public ::testing::Test {
protected:
    // Sends one request and returns the reply's payload, failing the test
    // unless the reply is a valid frame for that command.
    Bytes Ask(uint8_t command, const Bytes& payload = {0x00}) {
        Bytes reply = Send(Request(command, payload));
        const int32_t length = UnpackReply(reply.data(), static_cast<uint16_t>(reply.size()), command, reply.data());
        EXPECT_GE(length, 0) << "reply to command " << int(command);
        reply.resize(static_cast<size_t>(std::max(length, 0)));
        return reply;
    }

    Bytes Send(const Bytes& request) { return sensor.Feed(request.data(), request.size()); }

    std::vector<uint16_t> SpectrumAt(int32_t shutter) {
        Ask(CMD_SET_SHUTTER, ShutterValuePayload(shutter));
        return Samples(Ask(CMD_GET_DATA));
    }

    SimConfig config;
    VirtualSensor sensor{config};
};

TEST_F(VirtualSensorTest, IdentifiesAsModelDashSerial) {
    const Bytes text = Ask(CMD_GET_IDENT);
    EXPECT_EQ(std::string(text.begin(), text.end()), "KQ7-SIM00042");
}

TEST_F(VirtualSensorTest, ReportsBandCountBigEndian) {
    EXPECT_EQ(Ask(CMD_GET_BANDNUMBER), (Bytes{0x00, 0x00, 0x02, 0x00}));
}

TEST_F(VirtualSensorTest, ReportsCoefficientsAsBigEndianDoubles) {
    const Bytes payload = Ask(CMD_GET_COEFF);
    ASSERT_EQ(payload.size(), 32u);
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(DecodeBigEndianDouble(payload.data() + 8 * k), config.coefficients[k]) << "a" << k;
    }
    EXPECT_LT(std::abs(config.coefficients[0]), 1e-5) << "the cubic term is small";
}

TEST_F(VirtualSensorTest, KeepsWrittenCoefficientsForTheNextIdentification) {
    const double written[4] = {-2e-7, 1e-4, 1.4, 330.5};
    Bytes payload(32);
    for (size_t k = 0; k < 4; ++k) {
        EncodeBigEndianDouble(written[k], payload.data() + 8 * k);
    }
    EXPECT_TRUE(Ask(CMD_SET_COEFF, payload).empty());
    EXPECT_EQ(Ask(CMD_GET_COEFF), payload);
}

TEST_F(VirtualSensorTest, AcknowledgesCommandsWithTheirOwnCode) {
    EXPECT_TRUE(Ask(CMD_SET_SHUTTER, ShutterValuePayload(300)).empty());
    EXPECT_EQ(sensor.ShutterValue(), 300);
    EXPECT_TRUE(Ask(CMD_SHUTTER_CLOSE, {0x01}).empty());
    EXPECT_FALSE(sensor.ShutterOpen());
    EXPECT_TRUE(Ask(CMD_SHUTTER_OPEN, {0x01}).empty());
    EXPECT_TRUE(sensor.ShutterOpen());
}

TEST_F(VirtualSensorTest, SpectrumHasTwoBytesPerBandLowByteFirst) {
    const Bytes payload = Ask(CMD_GET_DATA);
    ASSERT_EQ(payload.size(), 1024u);
    // Shutter value 0: the dark level, near 1000 = 0x03E8. Read high byte
    // first, the samples would all lie far above 50000.
    for (uint16_t sample : Samples(payload)) {
        EXPECT_NEAR(sample, kDarkLevel, 60);
    }
}

TEST_F(VirtualSensorTest, CountsGrowLinearlyWithShutterValueAboveTheDarkLevel) {
    const std::vector<uint16_t> low = SpectrumAt(200);
    const std::vector<uint16_t> high = SpectrumAt(400);
    const size_t peak = static_cast<size_t>(std::max_element(low.begin(), low.end()) - low.begin());
    EXPECT_NEAR((high[peak] - kDarkLevel) / (low[peak] - kDarkLevel), 2.0, 0.05);
}

TEST_F(VirtualSensorTest, SaturatesAtFullScale) {
    const std::vector<uint16_t> samples = SpectrumAt(100000);
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), kFullScale);
    EXPECT_GT(std::count(samples.begin(), samples.end(), kFullScale), 100);
}

TEST_F(VirtualSensorTest, ShowsOnlyTheDarkLevelWhileTheShutterIsClosed) {
    Ask(CMD_SHUTTER_CLOSE, {0x01});
    const std::vector<uint16_t> dark = SpectrumAt(5000);
    EXPECT_LT(*std::max_element(dark.begin(), dark.end()), kDarkLevel + 60);
    EXPECT_GT(*std::min_element(dark.begin(), dark.end()), kDarkLevel - 60);
}

TEST_F(VirtualSensorTest, LampHasNarrowLinesAboveItsContinuum) {
    const std::vector<uint16_t> s = SpectrumAt(500);
    const size_t peak = static_cast<size_t>(std::max_element(s.begin(), s.end()) - s.begin());
    ASSERT_GT(peak, 10u);
    ASSERT_LT(peak, s.size() - 10);
    // Ten bands away from the brightest line only the continuum is left.
    EXPECT_GT(s[peak] - kDarkLevel, 2 * (s[peak - 10] - kDarkLevel));
    EXPECT_GT(s[peak] - kDarkLevel, 2 * (s[peak + 10] - kDarkLevel));
}

TEST_F(VirtualSensorTest, NoiseFollowsTheSeed) {
    VirtualSensor twin(config);
    SimConfig otherSeed = SimConfig::For(512, 7);
    VirtualSensor other(otherSeed);
    const Bytes request = Request(CMD_GET_DATA, {0x00});
    const Bytes first = sensor.Feed(request.data(), request.size());
    EXPECT_EQ(first, twin.Feed(request.data(), request.size()));
    EXPECT_NE(first, other.Feed(request.data(), request.size()));
    EXPECT_NE(first, sensor.Feed(request.data(), request.size())) << "each exposure has fresh noise";
}

TEST_F(VirtualSensorTest, AssemblesRequestsFromSingleBytesAfterStrayBytes) {
    Bytes request = {0x00, 0x13, 0x55};
    const Bytes frame = Request(CMD_GET_BANDNUMBER, {0x00});
    request.insert(request.end(), frame.begin(), frame.end());
    Bytes reply;
    for (uint8_t byte : request) {
        const Bytes part = sensor.Feed(&byte, 1);
        reply.insert(reply.end(), part.begin(), part.end());
    }
    EXPECT_EQ(reply, Request(CMD_GET_BANDNUMBER, {0x00, 0x00, 0x02, 0x00}));
}

TEST_F(VirtualSensorTest, IgnoresRequestsWithAWrongCrcOrShortPayload) {
    Bytes request = Request(CMD_GET_IDENT, {0x00});
    request.back() ^= 0x01;
    EXPECT_TRUE(Send(request).empty());
    EXPECT_TRUE(Send(Request(CMD_SET_SHUTTER, {0x01, 0x02})).empty());
    EXPECT_FALSE(Send(Request(CMD_GET_IDENT, {0x00})).empty()) << "the link is in step again";
}

TEST(VirtualSensorConfig, RejectsBandCountsTheLibraryCannotTake) {
    EXPECT_THROW(VirtualSensor(SimConfig::For(0, 1)), std::invalid_argument);
    EXPECT_THROW(VirtualSensor(SimConfig::For(kMaxBands + 1, 1)), std::invalid_argument);
}

TEST(VirtualSensorConfig, WavelengthsSpanTheSameRangeForAnyBandCount) {
    for (int bands : {256, 512, 2048}) {
        EXPECT_NEAR(kq7_wavelength(DefaultCoefficients(bands).data(), 1), 340, 3) << bands;
        EXPECT_NEAR(kq7_wavelength(DefaultCoefficients(bands).data(), bands), 1027, 1) << bands;
    }
}

class FaultTest : public VirtualSensorTest {
protected:
    void Use(Fault fault) {
        config.fault = fault;
        sensor = VirtualSensor(config);
    }
};

TEST_F(FaultTest, SilentSensorNeverAnswers) {
    Use(Fault::Silent);
    EXPECT_TRUE(Send(Request(CMD_GET_IDENT, {0x00})).empty());
    EXPECT_TRUE(Send(Request(CMD_GET_DATA, {0x00})).empty());
}

TEST_F(FaultTest, BusySensorAnswersTheResendOfACommand) {
    Use(Fault::Busy);
    const Bytes request = Request(CMD_SET_SHUTTER, ShutterValuePayload(100));
    EXPECT_EQ(Send(request), Request(REPLY_BUSY, {}));
    EXPECT_EQ(sensor.ShutterValue(), 0) << "a busy sensor does not act on the command";
    EXPECT_EQ(Send(request), Request(CMD_SET_SHUTTER, {}));
    EXPECT_EQ(sensor.ShutterValue(), 100);
    EXPECT_EQ(Send(Request(CMD_GET_DATA, {0x00})), Request(REPLY_BUSY, {}));
}

TEST_F(FaultTest, BusySensorAnswersIdentificationQueriesAtOnce) {
    Use(Fault::Busy);
    for (uint8_t query : {CMD_GET_IDENT, CMD_GET_BANDNUMBER, CMD_GET_COEFF}) {
        EXPECT_FALSE(Ask(query).empty());
    }
}

TEST_F(FaultTest, BadCrcSpoilsEveryReply) {
    Use(Fault::BadCrc);
    for (uint8_t command : {CMD_GET_IDENT, CMD_SHUTTER_OPEN}) {
        Bytes reply = Send(Request(command, {0x01}));
        ASSERT_GE(reply.size(), kFrameOverhead);
        EXPECT_FALSE(reply[reply.size() - 2] == 0xEE && reply.back() == 0xEE) << "not the wildcard";
        EXPECT_EQ(UnpackReply(reply.data(), static_cast<uint16_t>(reply.size()), command, reply.data()),
                  ERR_FRAME_CRC);
    }
}

TEST_F(FaultTest, StrayBytesPrecedeAnIntactReply) {
    Use(Fault::Stray);
    Bytes reply = Send(Request(CMD_GET_BANDNUMBER, {0x00}));
    const Bytes expected = Request(CMD_GET_BANDNUMBER, {0x00, 0x00, 0x02, 0x00});
    ASSERT_GT(reply.size(), expected.size());
    EXPECT_EQ(std::count(reply.begin(), reply.end() - static_cast<long>(expected.size()), 0x55), 0);
    EXPECT_TRUE(std::equal(expected.rbegin(), expected.rend(), reply.rbegin()));
}

}  // namespace
}  // namespace kq7sim
