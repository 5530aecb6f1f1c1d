/* SPDX-License-Identifier: MIT */
#include "byte_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace kq7 {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteOrderTest, ReverseBytesReversesInPlace) {
    Bytes bytes{1, 2, 3, 4, 5, 6, 7, 8};
    ReverseBytes(bytes.data(), 8);
    EXPECT_EQ(bytes, (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    ReverseBytes(bytes.data(), 3);
    EXPECT_EQ(bytes, (Bytes{6, 7, 8, 5, 4, 3, 2, 1}));
    ReverseBytes(bytes.data(), 0);
    EXPECT_EQ(bytes, (Bytes{6, 7, 8, 5, 4, 3, 2, 1}));
}

struct Int32Case {
    Bytes bytes;
    size_t available;
    int32_t value;
};

void PrintTo(const Int32Case& c, std::ostream* os) { *os << c.value << " from " << c.available << " bytes"; }

class DecodeInt32Test : public ::testing::TestWithParam<Int32Case> {};

TEST_P(DecodeInt32Test, MostSignificantByteFirstMissingBytesZero) {
    EXPECT_EQ(DecodeBigEndianInt32(GetParam().bytes.data(), GetParam().available), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Payloads, DecodeInt32Test,
                         ::testing::Values(Int32Case{{0x00, 0x00, 0x02, 0x00}, 4, 512},
                                           Int32Case{{0x00, 0x00, 0x02, 0xFF}, 3, 512},
                                           Int32Case{{0x12, 0x34, 0x56, 0x78}, 4, 0x12345678},
                                           Int32Case{{0x12, 0x34, 0x56, 0x78}, 2, 0x12340000},
                                           Int32Case{{0x12, 0x34, 0x56, 0x78}, 0, 0},
                                           Int32Case{{0xFF, 0xFF, 0xFF, 0xFF}, 4, -1},
                                           Int32Case{{0x80, 0x00, 0x00, 0x00}, 4, INT32_MIN}));

TEST(ByteOrderTest, EncodesInt32MostSignificantByteFirst) {
    Bytes out(4);
    EncodeBigEndianInt32(1000, out.data());
    EXPECT_EQ(out, (Bytes{0x00, 0x00, 0x03, 0xE8}));
    EncodeBigEndianInt32(-1, out.data());
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EncodeBigEndianInt32(INT32_MIN, out.data());
    EXPECT_EQ(out, (Bytes{0x80, 0x00, 0x00, 0x00}));
}

TEST(ByteOrderTest, SamplesAreLowByteFirst) {
    const Bytes bytes{0x34, 0x12, 0xFF, 0xFF};
    EXPECT_EQ(DecodeLittleEndianUint16(bytes.data()), 0x1234);
    EXPECT_EQ(DecodeLittleEndianUint16(bytes.data() + 2), 0xFFFF);
}

struct DoubleCase {
    double value;
    Bytes bytes;
};

void PrintTo(const DoubleCase& c, std::ostream* os) { *os << c.value; }

class DoubleTest : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleTest, EncodesMostSignificantByteFirst) {
    Bytes out(8);
    EncodeBigEndianDouble(GetParam().value, out.data());
    EXPECT_EQ(out, GetParam().bytes);
}

TEST_P(DoubleTest, DecodesMostSignificantByteFirst) {
    EXPECT_EQ(DecodeBigEndianDouble(GetParam().bytes.data()), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, DoubleTest,
                         ::testing::Values(DoubleCase{1.0, {0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},
                                           DoubleCase{-2.5, {0xC0, 0x04, 0, 0, 0, 0, 0, 0}},
                                           DoubleCase{400.0, {0x40, 0x79, 0, 0, 0, 0, 0, 0}},
                                           DoubleCase{0.1, {0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}}));

}  // namespace
}  // namespace kq7
