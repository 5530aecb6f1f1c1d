/* SPDX-License-Identifier: MIT */
#include "frame_codec.h"

#include <gtest/gtest.h>

#include <ostream>

#include "frame_format.h"
#include "support/scripted_host.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Frame;
using test::WithCrcBytes;

// ---------------------------------------------------------------- PackFrame

struct PackCase {
    const char* name;
    uint8_t command;
    Bytes payload;
    Bytes frame;
};

void PrintTo(const PackCase& c, std::ostream* os) { *os << c.name; }

class PackFrameKnownFrames : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackFrameKnownFrames, WritesFrameAndReturnsItsLength) {
    const PackCase& c = GetParam();
    Bytes out(c.frame.size() + 3, 0xCC);
    EXPECT_EQ(PackFrame(c.command, static_cast<uint16_t>(c.payload.size()), c.payload.data(), out.data()),
              static_cast<int32_t>(c.frame.size()));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(c.frame.size())), c.frame);
    EXPECT_EQ(Bytes(out.end() - 3, out.end()), Bytes(3, 0xCC)) << "wrote past the frame";
}

INSTANTIATE_TEST_SUITE_P(
    Frames, PackFrameKnownFrames,
    ::testing::Values(
        PackCase{"IdentQuery", CMD_GET_IDENT, {0x00}, {0x55, 0xAA, 0x50, 0x00, 0x01, 0x00, 0x00, 0x00}},
        PackCase{"ShutterClose", CMD_SHUTTER_CLOSE, {0x01}, {0x55, 0xAA, 0x55, 0x00, 0x01, 0x01, 0x11, 0x89}},
        PackCase{"Shutter1000",
                 CMD_SET_SHUTTER,
                 {0x00, 0x00, 0x03, 0xE8},
                 {0x55, 0xAA, 0x51, 0x00, 0x04, 0x00, 0x00, 0x03, 0xE8, 0x41, 0x2E}},
        PackCase{"EmptyPayload", CMD_GET_DATA, {}, {0x55, 0xAA, 0x61, 0x00, 0x00, 0x00, 0x00}}),
    [](const ::testing::TestParamInfo<PackCase>& info) { return info.param.name; });

TEST(PackFrame, LengthIsBigEndian) {
    const Bytes payload(0x0123, 0x00);
    Bytes out(payload.size() + 7);
    EXPECT_EQ(PackFrame(CMD_SET_COEFF, 0x0123, payload.data(), out.data()), 0x0123 + 7);
    EXPECT_EQ(out[3], 0x01);
    EXPECT_EQ(out[4], 0x23);
}

TEST(PackFrame, NullPayloadWithLengthZeroGivesSevenByteFrame) {
    Bytes out(7, 0xCC);
    EXPECT_EQ(PackFrame(0x57, 0, nullptr, out.data()), 7);
    EXPECT_EQ(out, (Bytes{0x55, 0xAA, 0x57, 0x00, 0x00, 0x00, 0x00}));
}

TEST(PackFrame, RefusesNullBuffersAndWritesNothing) {
    const uint8_t payload[3] = {1, 2, 3};
    Bytes out(10, 0xCC);
    EXPECT_EQ(PackFrame(0x51, 3, payload, nullptr), kPackFailed);
    EXPECT_EQ(PackFrame(0x51, 3, nullptr, out.data()), kPackFailed);
    EXPECT_EQ(out, Bytes(10, 0xCC));
}

// ------------------------------------------------------------ FindFrameStart

struct FindCase {
    const char* name;
    Bytes held;
    int32_t result;
    Bytes after;  // the whole buffer afterwards, also beyond the new count
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class FindFrameStartCases : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindFrameStartCases, ResynchronisesOnHeader) {
    const FindCase& c = GetParam();
    Bytes buf = c.held;
    EXPECT_EQ(FindFrameStart(buf.data(), static_cast<uint16_t>(buf.size())), c.result);
    EXPECT_EQ(buf, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindFrameStartCases,
    ::testing::Values(
        FindCase{"StrayBytesDropped", {0x01, 0x02, 0x55, 0xAA, 0x50}, 3, {0x55, 0xAA, 0x50, 0xAA, 0x50}},
        FindCase{"FirstOfRepeated55", {0x55, 0x55, 0xAA}, 2, {0x55, 0xAA, 0xAA}},
        FindCase{"AlreadyAtStart", {0x55, 0xAA, 0x50, 0x00, 0x01}, 5, {0x55, 0xAA, 0x50, 0x00, 0x01}},
        FindCase{"HeaderAtEnd", {0x01, 0x02, 0x03, 0x55, 0xAA}, 2, {0x55, 0xAA, 0x03, 0x55, 0xAA}},
        FindCase{"NoHeaderZeroed", {0x01, 0x02, 0x03}, 0, {0x00, 0x00, 0x00}},
        FindCase{"ReversedHeaderZeroed", {0xAA, 0x55, 0x01}, 0, {0x00, 0x00, 0x00}},
        FindCase{"Trailing55Kept", {0x01, 0x02, 0x03, 0x55}, 1, {0x55, 0x00, 0x00, 0x00}},
        FindCase{"Trailing55KeptFromTwo", {0x01, 0x55}, 1, {0x55, 0x00}},
        FindCase{"Only55s", {0x55, 0x55, 0x55}, 1, {0x55, 0x00, 0x00}},
        FindCase{"Single55Unchanged", {0x55}, 1, {0x55}},
        FindCase{"SingleByteUnchanged", {0x07}, 1, {0x07}}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return info.param.name; });

TEST(FindFrameStart, NullBufferAndEmptyCount) {
    EXPECT_EQ(FindFrameStart(nullptr, 5), ERR_NULL_ARGUMENT);
    uint8_t byte = 0x42;
    EXPECT_EQ(FindFrameStart(&byte, 0), 0);
    EXPECT_EQ(byte, 0x42);
}

TEST(FindFrameStart, LooksOnlyAtHeldBytes) {
    // A header just beyond `count` must not be found.
    Bytes buf = {0x01, 0x02, 0x55, 0xAA};
    EXPECT_EQ(FindFrameStart(buf.data(), 2), 0);
    EXPECT_EQ(buf, (Bytes{0x00, 0x00, 0x55, 0xAA}));
}

// --------------------------------------------------------------- UnpackReply

struct UnpackCase {
    const char* name;
    Bytes frame;
    size_t received;  // bytes of `frame` counted as held
    uint8_t expected;
    int32_t result;
};

void PrintTo(const UnpackCase& c, std::ostream* os) { *os << c.name; }

class UnpackReplyCases : public ::testing::TestWithParam<UnpackCase> {};

TEST_P(UnpackReplyCases, ChecksInOrder) {
    const UnpackCase& c = GetParam();
    Bytes frame = c.frame;
    Bytes dest(16, 0xCC);
    EXPECT_EQ(UnpackReply(frame.data(), static_cast<uint16_t>(c.received), c.expected, dest.data()), c.result);
    if (c.result <= 0) {
        EXPECT_EQ(dest, Bytes(16, 0xCC)) << "dest touched although nothing was to be moved";
    }
}

const Bytes kEmptyDataReply = {0x55, 0xAA, 0x61, 0x00, 0x00, 0x00, 0x00};
const Bytes kPayload3 = {0x41, 0x42, 0x43};

INSTANTIATE_TEST_SUITE_P(
    Cases, UnpackReplyCases,
    ::testing::Values(
        UnpackCase{"EmptyPayload", kEmptyDataReply, 7, CMD_GET_DATA, 0},
        UnpackCase{"EmptyPayloadWildcard", WithCrcBytes(kEmptyDataReply, 0xEE, 0xEE), 7, CMD_GET_DATA, 0},
        UnpackCase{"EmptyPayloadWrongCrc", WithCrcBytes(kEmptyDataReply, 0x12, 0x34), 7, CMD_GET_DATA, ERR_FRAME_CRC},
        UnpackCase{"HalfWildcardHigh", WithCrcBytes(Frame(0x50, kPayload3), 0xEE, 0x00), 10, 0x50, ERR_FRAME_CRC},
        UnpackCase{"HalfWildcardLow", WithCrcBytes(Frame(0x50, kPayload3), 0x00, 0xEE), 10, 0x50, ERR_FRAME_CRC},
        UnpackCase{"WildcardWithPayload", WithCrcBytes(Frame(0x50, kPayload3), 0xEE, 0xEE), 10, 0x50, 3},
        // EE EE inside the payload is payload, not a wildcard: the CRC still counts.
        UnpackCase{"EEInPayloadChecked", WithCrcBytes(Frame(0x50, {0xEE, 0xEE}), 0x00, 0x00), 9, 0x50, ERR_FRAME_CRC},
        UnpackCase{"EEInPayloadValid", Frame(0x50, {0xEE, 0xEE}), 9, 0x50, 2},
        // The wildcard sits where the declared length puts the CRC, not at the end of what is held.
        UnpackCase{"WildcardOnlyAtCrcOfLength",
                   {0x55, 0xAA, 0x50, 0x00, 0x01, 0x07, 0x12, 0x34, 0xEE, 0xEE},
                   10,
                   0x50,
                   ERR_FRAME_CRC},
        UnpackCase{"HeaderBeforeCommand", {0x55, 0xAB, 0x99, 0x00, 0x00, 0x00, 0x00}, 7, 0x50, ERR_FRAME_HEADER},
        UnpackCase{"FirstHeaderByteWrong", {0x54, 0xAA, 0x50, 0x00, 0x00, 0x00, 0x00}, 7, 0x50, ERR_FRAME_HEADER},
        UnpackCase{"BusyToOtherCommand", Frame(REPLY_BUSY, {}), 7, CMD_SET_SHUTTER, ERR_FRAME_COMMAND},
        UnpackCase{"BusyWhenBusyExpected", Frame(REPLY_BUSY, {}), 7, REPLY_BUSY, 0},
        UnpackCase{"CommandBeforeLength", {0x55, 0xAA, 0x51, 0x00, 0x09}, 5, 0x50, ERR_FRAME_COMMAND},
        UnpackCase{"SixBytes", {0x55, 0xAA, 0x50, 0x00, 0x00, 0x00}, 6, 0x50, ERR_FRAME_LENGTH},
        UnpackCase{"DeclaredTenHeldSixteen", Bytes{0x55, 0xAA, 0x50, 0x00, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0},
                   16, 0x50, ERR_FRAME_LENGTH},
        UnpackCase{"LengthBeforeCrc", WithCrcBytes(Frame(0x50, kPayload3), 0x12, 0x34), 9, 0x50, ERR_FRAME_LENGTH},
        UnpackCase{"TrailingBytesIgnored", test::Concat(Frame(0x50, kPayload3), {0x55, 0xAA, 0x01}), 13, 0x50, 3},
        // Fields are read only once held: a header or command byte beyond
        // `received` does not count, even when it is right.
        UnpackCase{"NothingHeld", kEmptyDataReply, 0, CMD_GET_DATA, ERR_FRAME_HEADER},
        UnpackCase{"OneByteHeld", kEmptyDataReply, 1, CMD_GET_DATA, ERR_FRAME_HEADER},
        UnpackCase{"HeaderHeldCommandNot", kEmptyDataReply, 2, CMD_GET_DATA, ERR_FRAME_COMMAND},
        UnpackCase{"CommandHeldLengthNot", kEmptyDataReply, 3, CMD_GET_DATA, ERR_FRAME_LENGTH},
        UnpackCase{"HeaderAndLengthHeld", kEmptyDataReply, 5, CMD_GET_DATA, ERR_FRAME_LENGTH}),
    [](const ::testing::TestParamInfo<UnpackCase>& info) { return info.param.name; });

TEST(UnpackReply, NullArgumentsComeFirst) {
    Bytes frame = {0x00, 0x00, 0x00};  // would fail every later test as well
    uint8_t dest[4] = {};
    EXPECT_EQ(UnpackReply(nullptr, 7, 0x50, dest), ERR_NULL_ARGUMENT);
    EXPECT_EQ(UnpackReply(frame.data(), 3, 0x50, nullptr), ERR_NULL_ARGUMENT);
}

TEST(UnpackReply, MovesPayloadToSeparateDest) {
    Bytes frame = Frame(0x59, {1, 2, 3, 4});
    Bytes dest(6, 0xCC);
    EXPECT_EQ(UnpackReply(frame.data(), static_cast<uint16_t>(frame.size()), 0x59, dest.data()), 4);
    EXPECT_EQ(dest, (Bytes{1, 2, 3, 4, 0xCC, 0xCC}));
}

TEST(UnpackReply, MovesPayloadWithinItsOwnBuffer) {
    // The receive unpacks into the buffer that holds the frame: the payload
    // moves five bytes towards the start over itself. Bytes from L on keep
    // what they held (tail of the payload, CRC, further bytes).
    Bytes payload;
    for (uint8_t i = 0; i < 40; ++i) {
        payload.push_back(static_cast<uint8_t>(0x80 + i));
    }
    const Bytes frame = test::Concat(Frame(0x61, payload), {0x99});
    Bytes buf = frame;
    EXPECT_EQ(UnpackReply(buf.data(), static_cast<uint16_t>(buf.size()), 0x61, buf.data()), 40);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 40), payload);
    EXPECT_EQ(Bytes(buf.begin() + 40, buf.end()), Bytes(frame.begin() + 40, frame.end()));
}

TEST(UnpackReply, RejectedFrameLeavesOwnBufferUntouched) {
    const Bytes frame = WithCrcBytes(Frame(0x61, {1, 2, 3, 4, 5, 6}), 0x00, 0x01);
    Bytes buf = frame;
    EXPECT_EQ(UnpackReply(buf.data(), static_cast<uint16_t>(buf.size()), 0x61, buf.data()), ERR_FRAME_CRC);
    EXPECT_EQ(buf, frame);
}

}  // namespace
}  // namespace kq7
