/* SPDX-License-Identifier: MIT */
#include "crc16.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kq7 {
namespace {

TEST(Crc16, PublishedKermitCheckValue) {
    const char* digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits), 9), 0x2189);
}

TEST(Crc16, EmptyAndSingleBytes) {
    const uint8_t zero = 0x00;
    const uint8_t one = 0x01;
    EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
    EXPECT_EQ(Crc16(&zero, 1), 0x0000);
    EXPECT_EQ(Crc16(&one, 1), 0x1189);
}

}  // namespace
}  // namespace kq7
