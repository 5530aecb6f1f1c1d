/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include "kq7/port/port_list.h"

namespace kq7tool {
namespace {

TEST(PortsNamedInTest, SplitsAtTheSeparatorAndSkipsEmptyEntries) {
#if defined(_WIN32)
    EXPECT_EQ(PortsNamedIn(";COM5;;\\\\.\\COM12"), (std::vector<std::string>{"COM5", "\\\\.\\COM12"}));
#else
    EXPECT_EQ(PortsNamedIn(":/dev/pts/3::/tmp/kq7-a:"), (std::vector<std::string>{"/dev/pts/3", "/tmp/kq7-a"}));
#endif
    EXPECT_TRUE(PortsNamedIn(nullptr).empty());
}

}  // namespace
}  // namespace kq7tool
