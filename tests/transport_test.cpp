/* SPDX-License-Identifier: MIT */
#include "link/link.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <numeric>
#include <ostream>
#include <string>
#include <tuple>

#include "frame_format.h"
#include "support/console_capture.h"
#include "support/fake_clock.h"
#include "support/scripted_host.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Concat;
using test::DumpLine;
using test::Frame;
using Requests = std::vector<int64_t>;

Bytes Prefix(const Bytes& bytes, size_t n) { return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)); }

Bytes Counting(size_t n, uint8_t first = 0) {
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

const Bytes kAbc = {'A', 'B', 'C'};

class ReceiveTest : public ::testing::Test {
protected:
    test::FakeClock clock;
    test::ScriptedHost host;
    Link& link = test::BuiltInLink();

    const Requests& ReadRequests() const { return host.ReadRequests(); }
};

// ------------------------------------------------------- reads and buffering

TEST_F(ReceiveTest, ReadsTwoThenHeaderThenTenByteChunks) {
    const Bytes frame = Frame(CMD_GET_COEFF, Counting(20));
    host.Inject(frame);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_COEFF, 1000), Received(20));
    EXPECT_EQ(console.Take(), DumpLine(frame));
    EXPECT_EQ(ReadRequests(), (Requests{2, 3, 10, 10, 10}));
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + 20), Counting(20));
}

TEST_F(ReceiveTest, OneBytePerReadAskedForWhatTheHeaderLacks) {
    host.Inject(Frame(CMD_GET_IDENT, kAbc), 1);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    EXPECT_EQ(console.Take(), "Data from sensor: 55 aa 50 00 03 41 42 43 59 e3 \n");
    EXPECT_EQ(ReadRequests(), (Requests{2, 4, 3, 2, 1, 10, 10, 10, 10, 10}));
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + 3), kAbc);
}

TEST_F(ReceiveTest, ClearsFirst200BytesOnly) {
    // A longest reply of 0xCC bytes fills the buffer first.
    host.Inject(Frame(CMD_GET_DATA, Bytes(kMaxReplyPayload, 0xCC)));
    const Bytes frame = Frame(CMD_GET_IDENT, kAbc);
    host.Inject(frame);
    test::ConsoleCapture console;
    ASSERT_EQ(link.ReceiveReplyTimed(CMD_GET_DATA, 1000), Received(kMaxReplyPayload));
    ASSERT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    // Payload moved to the start, the frame's other bytes behind it as held.
    const uint8_t* held = link.Payload();
    EXPECT_EQ(Bytes(held, held + 10), Concat(kAbc, Bytes(frame.begin() + 3, frame.end())));
    EXPECT_EQ(Bytes(held + 10, held + 200), Bytes(190, 0x00));
    EXPECT_EQ(Bytes(held + 200, held + kMaxReplyPayload), Bytes(kMaxReplyPayload - 200, 0xCC));
}

TEST_F(ReceiveTest, BytesAfterFrameInSameChunkAreNotKept) {
    const Bytes first = Frame(CMD_GET_IDENT, kAbc);
    const Bytes second = Frame(CMD_GET_IDENT, {'D', 'E', 'F'});
    host.Inject(Concat(first, second));
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    // The last body read took the second frame's header with it, and the
    // dump shows every byte held.
    EXPECT_EQ(link.ReceivedCount(), 15);
    EXPECT_EQ(console.Take(), DumpLine(Prefix(Concat(first, second), 15)));
    EXPECT_EQ(host.BytesPending(), 5u);
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 100), Failed(KQ7_ERR_NO_REPLY));
}

TEST_F(ReceiveTest, DumpStopsAfterFiftyBytes) {
    const Bytes frame = Frame(CMD_GET_DATA, Counting(60, 0xA0));
    host.Inject(frame);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_DATA, 1000), Received(60));
    EXPECT_EQ(console.Take(), DumpLine(Prefix(frame, 50)));
}

TEST_F(ReceiveTest, DumpPrintedBeforeFrameIsRejected) {
    const Bytes frame = test::WithCrcBytes(Frame(CMD_GET_IDENT, kAbc), 0x00, 0x00);
    host.Inject(frame);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Failed(KQ7_ERR_REJECTED_REPLY));
    EXPECT_EQ(console.Take(), DumpLine(frame));
}

// ------------------------------------------------------------- busy replies

TEST_F(ReceiveTest, TimedReceiveStopsAtBusyHeader) {
    const Bytes busy = Frame(REPLY_BUSY, kAbc);
    host.Inject(busy);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_SET_SHUTTER, 1000), Failed(KQ7_ERR_BUSY));
    EXPECT_EQ(console.Take(), "warning: sensor busy\n");
    EXPECT_EQ(ReadRequests(), (Requests{2, 3}));
    EXPECT_EQ(host.BytesPending(), busy.size() - 5);
}

TEST_F(ReceiveTest, UntimedReceiveReadsBusyFrameWholeAndRejectsIt) {
    const Bytes busy = Frame(REPLY_BUSY, kAbc);
    host.Inject(busy);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReply(CMD_GET_IDENT), Failed(KQ7_ERR_REJECTED_REPLY));
    EXPECT_EQ(console.Take(), DumpLine(busy));
    EXPECT_EQ(host.BytesPending(), 0u);
}

// ------------------------------------------------------------ stray bytes

// Stray bytes ahead of a reply are dropped whatever the host's chunk size.
// A header split between two reads is kept (its 0x55 held over), so four
// stray bytes are survived as well as three.
class StrayBytes : public ReceiveTest, public ::testing::WithParamInterface<std::tuple<Bytes, size_t>> {};

TEST_P(StrayBytes, ReplyIsStillFound) {
    const auto& [stray, chunk] = GetParam();
    const Bytes frame = Frame(CMD_GET_IDENT, kAbc);
    host.Inject(Concat(stray, frame), chunk);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    EXPECT_EQ(console.Take(), DumpLine(frame));
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + 3), kAbc);
}

INSTANTIATE_TEST_SUITE_P(Prefixes, StrayBytes,
                         ::testing::Combine(::testing::Values(Bytes{0x00, 0xFF}, Bytes{0x01, 0x02, 0x03},
                                                              Bytes{0x01, 0x02, 0x03, 0x04},
                                                              Bytes{0x01, 0x02, 0x03, 0x55}, Bytes{0x55, 0x55},
                                                              Bytes{0xAA}, Bytes(7, 0x00)),
                                            ::testing::Values(size_t{1}, size_t{2}, size_t{3}, SIZE_MAX)));

TEST_F(ReceiveTest, FourStrayBytesHoldOverTheReplysFirstByte) {
    // First read 01 02, header read 03 04 55: no header, the 55 is kept and
    // the next header read asks for the four bytes still lacking.
    host.Inject(Concat({0x01, 0x02, 0x03, 0x04}, Frame(CMD_GET_IDENT, kAbc)));
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    EXPECT_EQ(ReadRequests(), (Requests{2, 3, 4, 10}));
}

TEST_F(ReceiveTest, ThreeStrayBytesDroppedInFirstHeaderRead) {
    host.Inject(Concat({0x01, 0x02, 0x03}, Frame(CMD_GET_IDENT, kAbc)));
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    EXPECT_EQ(ReadRequests(), (Requests{2, 3, 3, 10}));
}

// ------------------------------------------------------------ time limits

enum class Kind { Timed, Untimed };
enum class Phase { Header, Body };

void PrintTo(Kind kind, std::ostream* os) { *os << (kind == Kind::Timed ? "timed" : "untimed"); }
void PrintTo(Phase phase, std::ostream* os) { *os << (phase == Phase::Header ? "header" : "body"); }

// The elapsed time ends a receive only when strictly greater than the limit:
// 1000 ms for a timed receive here, 5000 ms for the untimed one.
class TimeLimit : public ReceiveTest, public ::testing::WithParamInterface<std::tuple<Kind, Phase, uint64_t>> {
protected:
    static uint64_t LimitOf(Kind kind) { return kind == Kind::Timed ? 1000 : kQueryReplyLimitMs; }
    ExchangeResult Receive(Kind kind, uint8_t command) {
        return kind == Kind::Timed ? link.ReceiveReplyTimed(command, 1000) : link.ReceiveReply(command);
    }
};

TEST_P(TimeLimit, LastBytesDueAtLimitPlusOffset) {
    const auto [kind, phase, offset] = GetParam();
    const Bytes frame = Frame(CMD_GET_IDENT, kAbc);
    // The receive sleeps 1 ms before it takes its start time.
    const uint64_t due = 1 + LimitOf(kind) + offset;
    if (phase == Phase::Header) {
        host.Inject(frame, SIZE_MAX, due);
    } else {
        host.Inject(Prefix(frame, 5));
        host.Inject(Bytes(frame.begin() + 5, frame.end()), SIZE_MAX, due);
    }
    const uint64_t before = test::FakeClock::Now();
    test::ConsoleCapture console;
    const ExchangeResult result = Receive(kind, CMD_GET_IDENT);
    if (offset == 0) {
        EXPECT_EQ(result, Received(3));
        EXPECT_EQ(console.Take(), DumpLine(frame));
    } else {
        EXPECT_EQ(result, Failed(KQ7_ERR_NO_REPLY));
        EXPECT_EQ(console.Take(), "");
    }
    EXPECT_EQ(test::FakeClock::Now() - before, due);
}

INSTANTIATE_TEST_SUITE_P(Limits, TimeLimit,
                         ::testing::Combine(::testing::Values(Kind::Timed, Kind::Untimed),
                                            ::testing::Values(Phase::Header, Phase::Body),
                                            ::testing::Values(uint64_t{0}, uint64_t{1})));

TEST_F(ReceiveTest, UntimedReceiveOverSilentLineGivesUpAfterFiveSeconds) {
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReply(CMD_GET_IDENT), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(console.Take(), "");
    EXPECT_EQ(test::FakeClock::Now(), 1000u + 1 + kQueryReplyLimitMs + 1);
    EXPECT_EQ(test::FakeClock::Sleeps(), 1);
    EXPECT_TRUE(host.Writes().empty());
}

// The time test follows every read, also the one that completes the header
// or the frame: a clock that jumps between its readings ends the receive
// although the reply is complete. With a 100 ms limit, a step of 101 ms is
// past it at the first test (after the header), a step of 100 ms at the
// second (after the read that completes the frame).
struct ClockJump {
    uint64_t tickStep;
    Requests requests;
};

void PrintTo(const ClockJump& c, std::ostream* os) { *os << "step " << c.tickStep; }

class TimeTestedAfterCompletingRead : public ReceiveTest, public ::testing::WithParamInterface<ClockJump> {};

TEST_P(TimeTestedAfterCompletingRead, EndsWithNoReply) {
    host.Inject(Frame(CMD_GET_IDENT, kAbc));
    test::FakeClock::SetTickStep(GetParam().tickStep);
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 100), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(console.Take(), "");
    EXPECT_EQ(ReadRequests(), GetParam().requests);
}

INSTANTIATE_TEST_SUITE_P(Steps, TimeTestedAfterCompletingRead,
                         ::testing::Values(ClockJump{101, {2, 3}}, ClockJump{100, {2, 3, 10}}));

// ------------------------------------------------- oversize declared lengths

class DeclaredTooLong : public ReceiveTest, public ::testing::WithParamInterface<std::tuple<Kind, uint16_t>> {};

TEST_P(DeclaredTooLong, EndsAsSoonAsHeaderIsIn) {
    const auto [kind, length] = GetParam();
    const Bytes header = {0x55, 0xAA, CMD_GET_DATA, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF)};
    host.Inject(Concat(header, Bytes(200, 0x11)));
    test::ConsoleCapture console;
    const ExchangeResult result =
        kind == Kind::Timed ? link.ReceiveReplyTimed(CMD_GET_DATA, 1000) : link.ReceiveReply(CMD_GET_DATA);
    EXPECT_EQ(result, Failed(KQ7_ERR_REJECTED_REPLY));
    EXPECT_EQ(console.Take(), "");
    EXPECT_EQ(ReadRequests(), (Requests{2, 3}));
    EXPECT_EQ(host.BytesPending(), 200u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, DeclaredTooLong,
                         ::testing::Combine(::testing::Values(Kind::Timed, Kind::Untimed),
                                            ::testing::Values(uint16_t{9994}, uint16_t{0xFFFF})));

// The longest reply fills the receive buffer exactly; the last reads are cut to the
// room left, also when more bytes follow on the line.
class LongestReplies : public ReceiveTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(LongestReplies, NoReadReachesPastRxBuffer) {
    const uint16_t length = GetParam();
    const Bytes payload = Counting(length, 7);
    host.Inject(Concat(Frame(CMD_GET_DATA, payload), Bytes(30, 0x55)));
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_DATA, 1000), Received(length));
    int64_t held = 0;
    for (int64_t request : ReadRequests()) {
        ASSERT_LE(request, static_cast<int64_t>(kRxBufferSize) - held);
        held += request;  // the host has enough bytes to fill every request
    }
    EXPECT_EQ(held, static_cast<int64_t>(kRxBufferSize));
    EXPECT_EQ(ReadRequests().back(), 5);
    EXPECT_EQ(link.ReceivedCount(), static_cast<int32_t>(kRxBufferSize));
    EXPECT_EQ(Bytes(link.Payload(), link.Payload() + length), payload);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongestReplies, ::testing::Values(uint16_t{9992}, uint16_t{9993}));

// ------------------------------------------------ misbehaving read callbacks

TEST_F(ReceiveTest, NegativeReadResultCountsAsNothing) {
    host.OverrideReadResult(-3);
    uint8_t dest[4] = {};
    EXPECT_EQ(link.Read(dest, 4), 0);
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 20), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(link.ReceivedCount(), 0);
    // With nothing counted, every header read still asks for all five bytes.
    const Requests& requests = ReadRequests();
    ASSERT_GT(requests.size(), 3u);
    EXPECT_EQ(requests[1], 2);
    EXPECT_EQ(Requests(requests.begin() + 2, requests.end()), Requests(requests.size() - 2, 5));
}

TEST_F(ReceiveTest, ReadResultAboveRequestCountsAsRequested) {
    uint8_t dest[4] = {};
    host.OverrideReadResult(1000);
    EXPECT_EQ(link.Read(dest, 3), 3);
    host.Inject(Frame(CMD_GET_IDENT, kAbc));
    test::ConsoleCapture console;
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 1000), Received(3));
    EXPECT_EQ(console.Take(), DumpLine(Concat(Frame(CMD_GET_IDENT, kAbc), Bytes(5, 0x00))));
    EXPECT_EQ(ReadRequests(), (Requests{3, 2, 3, 10}));
}

// ----------------------------------------------------------- registration

TEST_F(ReceiveTest, NullCallbacksAreStoredAndSetReady) {
    KQ7Set_Serial_FUN(nullptr, nullptr);
    EXPECT_TRUE(link.Attached());
    uint8_t dest[3] = {9, 9, 9};
    EXPECT_EQ(link.Read(dest, 3), 0);
    EXPECT_EQ(Bytes(dest, dest + 3), (Bytes{9, 9, 9}));
    link.Write(dest, 3);
    EXPECT_TRUE(host.Writes().empty());
    EXPECT_TRUE(ReadRequests().empty());
    // Nothing moves the clock but the receive's own readings of it.
    test::FakeClock::SetTickStep(1);
    EXPECT_EQ(link.ReceiveReplyTimed(CMD_GET_IDENT, 50), Failed(KQ7_ERR_NO_REPLY));
    EXPECT_EQ(link.ReceiveReply(CMD_GET_IDENT), Failed(KQ7_ERR_NO_REPLY));
}

// Exit code 0 when the transport starts unregistered (writes go nowhere,
// reads yield 0 and leave their destination alone) and a registration of
// null callbacks makes it ready.
[[noreturn]] void ExitWithLoadState() {
    Link& link = test::BuiltInLink();
    uint8_t dest[2] = {7, 7};
    link.Write(dest, 2);
    const bool unregistered = !link.Attached() && link.Read(dest, 2) == 0 && dest[0] == 7 && dest[1] == 7;
    KQ7Set_Serial_FUN(nullptr, nullptr);
    std::exit(unregistered && link.Attached() ? 0 : 1);
}

// Runs in a freshly started copy of the test program, where no earlier test
// has registered anything.
TEST(TransportAtLoad, UnregisteredUntilFirstRegistration) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithLoadState(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kq7
