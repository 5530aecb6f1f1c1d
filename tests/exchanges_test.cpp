/* SPDX-License-Identifier: MIT */
#include "link/link.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <ostream>
#include <string>

#include "frame_format.h"
#include "link/link.h"
#include "support/console_capture.h"
#include "support/fake_clock.h"
#include "support/scripted_host.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::DumpLine;
using test::Frame;

const Bytes kShutter1000 = {0x00, 0x00, 0x03, 0xE8};
const Bytes kQueryPayload = {0x00};

// A SendCommand that never gets an answer: resends after the even attempts,
// a warning after every attempt, the ERROR line last.
const char* const kSendCommandGivesUp =
    "send command again\n"
    "warning  try 0 times: date not enough,try again!!\n"
    "warning  try 1 times: date not enough,try again!!\n"
    "send command again\n"
    "warning  try 2 times: date not enough,try again!!\n"
    "warning  try 3 times: date not enough,try again!!\n"
    "send command again\n"
    "warning  try 4 times: date not enough,try again!!\n"
    "warning  try 5 times: date not enough,try again!!\n"
    "send command again\n"
    "warning  try 6 times: date not enough,try again!!\n"
    "warning  try 7 times: date not enough,try again!!\n"
    "send command again\n"
    "warning  try 8 times: date not enough,try again!!\n"
    "warning  try 9 times: date not enough,try again!!\n"
    "ERROR date not enough,retunr !!\n";

// A SendAcquire that never gets a spectrum: resends after attempts 0 and 5,
// and no closing line.
const char* const kSendAcquireGivesUp =
    "send command again\n"
    "warning  try 0 times: date not enough,try again!!\n"
    "warning  try 1 times: date not enough,try again!!\n"
    "warning  try 2 times: date not enough,try again!!\n"
    "warning  try 3 times: date not enough,try again!!\n"
    "warning  try 4 times: date not enough,try again!!\n"
    "send command again\n"
    "warning  try 5 times: date not enough,try again!!\n"
    "warning  try 6 times: date not enough,try again!!\n"
    "warning  try 7 times: date not enough,try again!!\n"
    "warning  try 8 times: date not enough,try again!!\n"
    "warning  try 9 times: date not enough,try again!!\n";

const char* const kFirstAttemptFailed =
    "send command again\n"
    "warning  try 0 times: date not enough,try again!!\n";

class ExchangeTest : public ::testing::Test {
protected:
    test::FakeClock clock;
    test::ScriptedHost host;
    Link& link = test::BuiltInLink();

    static uint64_t Elapsed(uint64_t since) { return test::FakeClock::Now() - since; }
};

// ------------------------------------------------------------ stale replies

// A reply that outlived its exchange (the answer to a resend, or one that
// came after the last attempt) is read away before the next request goes out,
// with reads as large as the receive buffer, so that the next exchange takes
// its own reply.
TEST_F(ExchangeTest, DuplicateOfALateSpectrumIsDiscardedOnceBeforeTheNextRequest) {
    const Bytes first = Frame(CMD_GET_DATA, {0x01, 0x02});
    host.QueueReply(test::Reply{first, 2500});  // taken by attempt 1
    host.QueueReply(first);                     // the answer to the resend
    test::ConsoleCapture console;
    ASSERT_EQ(link.SendAcquire(0), Received(2));
    const size_t readsBefore = host.ReadRequests().size();
    host.QueueReply(Frame(CMD_GET_DATA, {0x03, 0x04}));
    EXPECT_EQ(link.SendAcquire(0), Received(2));
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + 2), (Bytes{0x03, 0x04}));
    EXPECT_EQ(host.ReadRequests()[readsBefore], static_cast<int64_t>(kRxBufferSize));
    // After a clean exchange nothing extra is read: the next read asks for
    // the two bytes of a frame start.
    const size_t readsAfterCleanExchange = host.ReadRequests().size();
    host.QueueReply(Frame(CMD_GET_DATA, {0x05, 0x06}));
    ASSERT_EQ(link.SendAcquire(0), Received(2));
    EXPECT_EQ(host.ReadRequests()[readsAfterCleanExchange], 2);
}

TEST_F(ExchangeTest, SpectrumAfterTheLastAttemptDoesNotAnswerTheNextCommand) {
    test::ConsoleCapture console;
    ASSERT_EQ(link.SendAcquire(-1000), Failed(KQ7_ERR_NO_REPLY));
    host.Inject(Frame(CMD_GET_DATA, Bytes(1030, 0x11)));
    host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
    EXPECT_EQ(link.SendCommand(CMD_SET_SHUTTER, kShutter1000.data(), 4), Received(0));
    EXPECT_EQ(host.BytesPending(), 0u);
}

// ----------------------------------------------------------------- SendQuery

TEST_F(ExchangeTest, QueryReturnsPayloadAtStartOfRxBuffer) {
    host.QueueReply(Frame(CMD_GET_IDENT, {'A', 'B', 'C'}));
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendQuery(CMD_GET_IDENT), Received(3));
    EXPECT_EQ(console.Take(), "Data from sensor: 55 aa 50 00 03 41 42 43 59 e3 \n");
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + 3), (Bytes{'A', 'B', 'C'}));
    ASSERT_EQ(host.Writes().size(), 1u);
    EXPECT_EQ(host.Writes()[0], (Bytes{0x55, 0xAA, 0x50, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST_F(ExchangeTest, QueryOverSilentLineGivesUpAfterFiveSecondsWithoutResend) {
    const uint64_t start = test::FakeClock::Now();
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendQuery(CMD_GET_BANDNUMBER), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(console.Take(), "");
    EXPECT_EQ(Elapsed(start), 1 + kQueryReplyLimitMs + 1);
    EXPECT_EQ(host.Writes().size(), 1u);
}

TEST_F(ExchangeTest, QueryReadsBusyFrameWholeAndRejectsIt) {
    const Bytes busy = Frame(REPLY_BUSY, {0x01, 0x02});
    host.QueueReply(busy);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendQuery(CMD_GET_COEFF), Failed(KQ7_ERR_REJECTED_REPLY));
    EXPECT_EQ(console.Take(), DumpLine(busy));
    EXPECT_EQ(host.Writes().size(), 1u);
    EXPECT_EQ(host.BytesPending(), 0u);
}

// --------------------------------------------------------------- SendCommand

TEST_F(ExchangeTest, CommandOverSilentLineMakesTenAttemptsAndSixWrites) {
    const uint64_t start = test::FakeClock::Now();
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SET_SHUTTER, kShutter1000.data(), 4), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(console.Take(), kSendCommandGivesUp);
    // Each attempt: the 1 ms sleep, then polling until 1001 ms have passed.
    EXPECT_EQ(Elapsed(start), 10u * 1002u);
    EXPECT_EQ(test::FakeClock::Sleeps(), 10);
    const Bytes frame = Frame(CMD_SET_SHUTTER, kShutter1000);
    EXPECT_EQ(host.Writes(), std::vector<Bytes>(6, frame));
}

TEST_F(ExchangeTest, CommandWithoutCallbacksMakesTenAttempts) {
    KQ7Set_Serial_FUN(nullptr, nullptr);
    test::FakeClock::SetTickStep(1);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SHUTTER_OPEN, Bytes{0x01}.data(), 1), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(console.Take(), kSendCommandGivesUp);
    EXPECT_EQ(test::FakeClock::Sleeps(), 10);
}

TEST_F(ExchangeTest, LateReplyIsAcceptedByALaterAttempt) {
    // Due 2500 ms after the first write: attempt 0 (resend) and attempt 1 (no
    // resend) time out, attempt 2 reads it.
    const Bytes reply = Frame(CMD_SET_SHUTTER, {});
    host.QueueReply(test::Reply{reply, 2500});
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SET_SHUTTER, kShutter1000.data(), 4), Received(0));
    EXPECT_EQ(console.Take(), std::string(kFirstAttemptFailed) +
                                  "warning  try 1 times: date not enough,try again!!\n" + DumpLine(reply));
    EXPECT_EQ(host.Writes().size(), 2u);
}

TEST_F(ExchangeTest, CommandBusyThenReplyOnResend) {
    // The busy frame's CRC stays on the line and is dropped as stray bytes.
    host.QueueReply(Frame(REPLY_BUSY, {}));
    const Bytes reply = Frame(CMD_SHUTTER_CLOSE, {0x07});
    host.QueueReply(reply);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SHUTTER_CLOSE, Bytes{0x01}.data(), 1), Received(1));
    EXPECT_EQ(console.Take(), "warning: sensor busy\n" + std::string(kFirstAttemptFailed) + DumpLine(reply));
    EXPECT_EQ(link.Payload()[0], 0x07);
    EXPECT_EQ(host.Writes().size(), 2u);
}

TEST_F(ExchangeTest, CommandRefusesPayloadAboveWhatTxBufferHolds) {
    const Bytes payload(994, 0x5A);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SET_COEFF, payload.data(), 994), Failed(KQ7_ERR_INVALID_ARGUMENT));
    EXPECT_EQ(console.Take(), "");
    EXPECT_TRUE(host.Writes().empty());
    EXPECT_EQ(test::FakeClock::Sleeps(), 0) << "a receive ran";
}

TEST_F(ExchangeTest, CommandSendsLargestPayloadThatFits) {
    const Bytes payload(993, 0x5A);
    host.QueueReply(Frame(CMD_SET_COEFF, {}));
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SET_COEFF, payload.data(), 993), Received(0));
    ASSERT_EQ(host.Writes().size(), 1u);
    EXPECT_EQ(host.Writes()[0], Frame(CMD_SET_COEFF, payload));
    EXPECT_EQ(host.Writes()[0].size(), kTxBufferSize);
}

TEST_F(ExchangeTest, CommandRefusesNullPayloadWithLength) {
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SET_COEFF, nullptr, 8), Failed(KQ7_ERR_INVALID_ARGUMENT));
    EXPECT_EQ(console.Take(), "");
    EXPECT_TRUE(host.Writes().empty());
    EXPECT_EQ(test::FakeClock::Sleeps(), 0) << "a receive ran";
}

TEST_F(ExchangeTest, CommandSendsNullPayloadOfLengthZero) {
    host.QueueReply(Frame(CMD_SHUTTER_OPEN, {}));
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SHUTTER_OPEN, nullptr, 0), Received(0));
    ASSERT_EQ(host.Writes().size(), 1u);
    EXPECT_EQ(host.Writes()[0], (Bytes{0x55, 0xAA, 0x56, 0x00, 0x00, 0x00, 0x00}));
}

// --------------------------------------------------------------- SendAcquire

TEST_F(ExchangeTest, AcquireReturnsSpectrum) {
    const Bytes spectrum = {0x10, 0x00, 0x20, 0x00};
    host.QueueReply(Frame(CMD_GET_DATA, spectrum));
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendAcquire(100), Received(4));
    EXPECT_EQ(console.Take(), DumpLine(Frame(CMD_GET_DATA, spectrum)));
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + 4), spectrum);
    EXPECT_EQ(host.Writes(), std::vector<Bytes>{Frame(CMD_GET_DATA, kQueryPayload)});
}

TEST_F(ExchangeTest, AcquireBusyThenSpectrumOnResend) {
    host.QueueReply(Frame(REPLY_BUSY, {}));
    const Bytes reply = Frame(CMD_GET_DATA, {0x01, 0x00});
    host.QueueReply(reply);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendAcquire(0), Received(2));
    EXPECT_EQ(console.Take(), "warning: sensor busy\n" + std::string(kFirstAttemptFailed) + DumpLine(reply));
}

TEST_F(ExchangeTest, AcquireLimitDoesNotWrapForLargestShutter) {
    // 2 x INT_MAX + 2000 taken in 32 bits would be 1998 ms.
    const Bytes reply = Frame(CMD_GET_DATA, {});
    host.QueueReply(test::Reply{reply, 10000});
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendAcquire(INT_MAX), Received(0));
    EXPECT_EQ(console.Take(), DumpLine(reply));
    EXPECT_EQ(host.Writes().size(), 1u);
}

TEST_F(ExchangeTest, AcquireWithZeroLimitTakesReplyAlreadyThere) {
    host.QueueReply(Frame(CMD_GET_DATA, {0x33, 0x00}));
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendAcquire(-1001), Received(2));
}

// A silent sensor: three writes, the warnings and no ERROR line. An attempt
// lasts the 1 ms sleep plus the limit and the read that passes it, and at
// least the sleep, the untested first read and one header read.
struct SilentAcquire {
    int32_t shutter;
    uint64_t attemptMs;
};

void PrintTo(const SilentAcquire& c, std::ostream* os) { *os << "shutter " << c.shutter; }

class AcquireOverSilentLine : public ExchangeTest, public ::testing::WithParamInterface<SilentAcquire> {};

TEST_P(AcquireOverSilentLine, GivesUpAfterTenAttempts) {
    const uint64_t start = test::FakeClock::Now();
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendAcquire(GetParam().shutter), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(console.Take(), kSendAcquireGivesUp);
    EXPECT_EQ(Elapsed(start), 10 * GetParam().attemptMs);
    EXPECT_EQ(host.Writes(), std::vector<Bytes>(3, Frame(CMD_GET_DATA, kQueryPayload)));
}

INSTANTIATE_TEST_SUITE_P(Shutters, AcquireOverSilentLine,
                         ::testing::Values(SilentAcquire{500, 3002}, SilentAcquire{0, 2002},
                                           SilentAcquire{-999, 4}, SilentAcquire{-1000, 3},
                                           SilentAcquire{-1001, 3}, SilentAcquire{INT_MIN, 3}));

struct LimitCase {
    int32_t shutter;
    uint32_t limitMs;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << "shutter " << c.shutter; }

class AcquisitionLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(AcquisitionLimit, TwiceShutterPlusTwoSecondsClamped) {
    EXPECT_EQ(AcquisitionLimitMs(GetParam().shutter), GetParam().limitMs);
}

INSTANTIATE_TEST_SUITE_P(
    Shutters, AcquisitionLimit,
    ::testing::Values(LimitCase{100, 2200}, LimitCase{500, 3000}, LimitCase{0, 2000}, LimitCase{-999, 2},
                      LimitCase{-1000, 0}, LimitCase{-1001, 0}, LimitCase{INT_MIN, 0},
                      LimitCase{2147482647, 4294967294u}, LimitCase{2147482648, 4294967295u},
                      LimitCase{INT_MAX, 4294967295u}));

// ----------------------------------------- rejected frames, by exchange

// A frame that UnpackReply rejects (or that declares more than the receive
// buffer holds) is an answer for SendQuery and SendCommand, which end with
// KQ7_ERR_REJECTED_REPLY at once, and a failed attempt for SendAcquire.
struct RejectedReply {
    const char* name;
    Bytes bytes;  // with the command byte of the request at offset 2
    bool dumped;
};

void PrintTo(const RejectedReply& c, std::ostream* os) { *os << c.name; }

class RejectedReplies : public ExchangeTest, public ::testing::WithParamInterface<RejectedReply> {
protected:
    static Bytes ForCommand(uint8_t command) {
        Bytes bytes = GetParam().bytes;
        bytes[2] = static_cast<uint8_t>(bytes[2] + command);
        return bytes;
    }
    static std::string Dump(const Bytes& bytes) { return GetParam().dumped ? DumpLine(bytes) : ""; }
};

TEST_P(RejectedReplies, EndSendQuery) {
    const Bytes bad = ForCommand(CMD_GET_IDENT);
    host.QueueReply(bad);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendQuery(CMD_GET_IDENT), Failed(KQ7_ERR_REJECTED_REPLY));
    EXPECT_EQ(console.Take(), Dump(bad));
    EXPECT_EQ(host.Writes().size(), 1u);
}

TEST_P(RejectedReplies, EndSendCommandAfterFirstAttempt) {
    const Bytes bad = ForCommand(CMD_SET_SHUTTER);
    host.QueueReply(bad);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendCommand(CMD_SET_SHUTTER, kShutter1000.data(), 4), Failed(KQ7_ERR_REJECTED_REPLY));
    EXPECT_EQ(console.Take(), Dump(bad));
    EXPECT_EQ(host.Writes().size(), 1u);
}

TEST_P(RejectedReplies, LeadSendAcquireToNextAttempt) {
    const Bytes bad = ForCommand(CMD_GET_DATA);
    const Bytes good = Frame(CMD_GET_DATA, {0x44, 0x01});
    host.QueueReply(bad);
    host.QueueReply(good);
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendAcquire(100), Received(2));
    EXPECT_EQ(console.Take(), Dump(bad) + kFirstAttemptFailed + DumpLine(good));
    EXPECT_EQ(host.Writes().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RejectedReplies,
    ::testing::Values(RejectedReply{"WrongCrc", test::WithCrcBytes(Frame(0, {0x01, 0x02}), 0x12, 0x34),
                                    true},
                      RejectedReply{"OtherCommand", Frame(1, {0x01, 0x02}), true},
                      RejectedReply{"DeclaresTooMuch", {0x55, 0xAA, 0x00, 0x27, 0x0A}, false}),
    [](const ::testing::TestParamInfo<RejectedReply>& info) { return info.param.name; });

// ------------------------------------------------------ empty payloads

TEST_F(ExchangeTest, EmptyPayloadIsSuccessForEveryExchange) {
    host.QueueReply(Frame(CMD_GET_COEFF, {}));
    host.QueueReply(Frame(CMD_SHUTTER_CLOSE, {}));
    host.QueueReply(Frame(CMD_GET_DATA, {}));
    test::ConsoleCapture console;
    EXPECT_EQ(link.SendQuery(CMD_GET_COEFF), Received(0));
    EXPECT_EQ(link.SendCommand(CMD_SHUTTER_CLOSE, Bytes{0x01}.data(), 1), Received(0));
    EXPECT_EQ(link.SendAcquire(10), Received(0));
    EXPECT_EQ(console.Take(),
              "Data from sensor: 55 aa 59 00 00 00 00 \n"
              "Data from sensor: 55 aa 55 00 00 00 00 \n"
              "Data from sensor: 55 aa 61 00 00 00 00 \n");
    EXPECT_EQ(host.Writes().size(), 3u);
}

}  // namespace
}  // namespace kq7
