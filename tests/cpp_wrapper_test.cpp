/* SPDX-License-Identifier: MIT */
#include "nerb_kq7lib.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_format.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Frame;
using test::ScriptedHost;

class CppWrapperTest : public ::testing::Test {
protected:
    test::FakeClock clock;
    ScriptedHost host{ScriptedHost::Registration::kNone};
    Device device{ScriptedHost::Write, ScriptedHost::Read, &host};
};

TEST_F(CppWrapperTest, CapturesIntoAVectorOfTheBandCountAndLogsToAFunction) {
    std::vector<std::string> lines;
    device.setLog([&](const char* line) { lines.emplace_back(line); });
    test::QueueIdentification(host, "ABC-123", 3);
    host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
    host.QueueReply(Frame(CMD_GET_DATA, test::SpectrumPayload({7, 8, 9, 10})));
    Device moved = std::move(device);
    moved.identify();
    EXPECT_EQ(moved.capture(5), (std::vector<uint16_t>{7, 8, 9}));
    EXPECT_EQ(lines.size(), 7u);
}

TEST_F(CppWrapperTest, FailureThrowsTheCodeAndItsText) {
    try {
        device.setShutterOpen(true);
        FAIL() << "no exception";
    } catch (const Error& error) {
        EXPECT_EQ(error.code(), KQ7_ERR_NOT_IDENTIFIED);
        EXPECT_STREQ(error.what(), kq7_strerror(KQ7_ERR_NOT_IDENTIFIED));
    }
}

}  // namespace
}  // namespace kq7
