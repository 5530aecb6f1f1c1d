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

TEST_F(CppWrapperTest, FailureThrowsTheCodeItsTextAndTheOperation) {
    try {
        device.setShutterOpen(true);
        FAIL() << "no exception";
    } catch (const Error& error) {
        EXPECT_EQ(error.code(), KQ7_ERR_NOT_IDENTIFIED);
        EXPECT_STREQ(error.what(), kq7_strerror(KQ7_ERR_NOT_IDENTIFIED));
        EXPECT_STREQ(error.operation(), "kq7_set_shutter_open");
        EXPECT_EQ(error.message(), device.lastErrorMessage());
    }
    EXPECT_THROW(Device(nullptr, ScriptedHost::Read, nullptr), std::invalid_argument);
}

// A handler replaced during a call would be freed while the library still
// calls it: the wrapper keeps it and says so.
TEST_F(CppWrapperTest, SetLogDuringACallKeepsTheOldHandler) {
    int oldLines = 0;
    device.setLog([&](const char*) { ++oldLines; });
    test::QueueIdentification(host);
    int refused = KQ7_OK;
    host.SetReadHook([&] {
        try {
            device.setLog([](const char*) {});
        } catch (const Error& error) {
            refused = error.code();
        }
    });
    device.identify();
    EXPECT_EQ(refused, KQ7_ERR_IN_USE);
    EXPECT_EQ(oldLines, 5);
}

}  // namespace
}  // namespace kq7
