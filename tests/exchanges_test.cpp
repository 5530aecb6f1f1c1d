#include "link/exchanges.h"

#include <gtest/gtest.h>

#include "link/frame_format.h"
#include "link/transport.h"
#include "support/console_capture.h"
#include "support/fake_clock.h"
#include "support/scripted_host.h"

namespace kq7 {
namespace {

using test::Bytes;

class ExchangeTest : public ::testing::Test {
protected:
    test::FakeClock clock;
    test::ScriptedHost host;
};

TEST_F(ExchangeTest, QueryReturnsPayloadAtStartOfRxBuffer) {
    host.QueueReply(test::Frame(CMD_GET_IDENT, {'A', 'B', 'C'}));
    test::ConsoleCapture console;
    EXPECT_EQ(SendQuery(CMD_GET_IDENT), 3);
    EXPECT_EQ(console.Take(), "Data from sensor: 55 aa 50 00 03 41 42 43 59 e3 \n");
    EXPECT_EQ(Bytes(RxBuffer, RxBuffer + 3), (Bytes{'A', 'B', 'C'}));
    ASSERT_EQ(host.Writes().size(), 1u);
    EXPECT_EQ(host.Writes()[0], (Bytes{0x55, 0xAA, 0x50, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace kq7
