/* SPDX-License-Identifier: MIT */
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "kq7/serve/broadcast.h"
#include "kq7/serve/host_names.h"
#include "kq7/serve/listen_address.h"

namespace kq7serve {
namespace {

struct ListenCase {
    const char* text;
    std::optional<ListenAddress> parsed;
    bool loopback;
};

const ListenCase kListenCases[] = {
    {"127.0.0.1:8477", ListenAddress{"127.0.0.1", 8477}, true},
    {"localhost:0", ListenAddress{"localhost", 0}, true},
    {"127.45.0.9:80", ListenAddress{"127.45.0.9", 80}, true},
    {"[::1]:8477", ListenAddress{"::1", 8477}, true},
    {"0.0.0.0:8477", ListenAddress{"0.0.0.0", 8477}, false},
    {"[::]:8477", ListenAddress{"::", 8477}, false},
    {"128.0.0.1:8477", ListenAddress{"128.0.0.1", 8477}, false},
    {"8477", std::nullopt, false},
    {":8477", std::nullopt, false},
    {"127.0.0.1:65536", std::nullopt, false},
    {"127.0.0.1:-1", std::nullopt, false},
    {"::1:8477", std::nullopt, false},
    {"[::1]8477", std::nullopt, false},
};

class ListenAddressTest : public testing::TestWithParam<ListenCase> {};

TEST_P(ListenAddressTest, ParsesAndTellsLoopback) {
    const ListenCase& c = GetParam();
    const std::optional<ListenAddress> parsed = ParseListenAddress(c.text);
    ASSERT_EQ(parsed.has_value(), c.parsed.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->host, c.parsed->host);
        EXPECT_EQ(parsed->port, c.parsed->port);
        EXPECT_EQ(IsLoopback(parsed->host), c.loopback);
        EXPECT_EQ(HostPort(parsed->host, parsed->port), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ListenAddressTest, testing::ValuesIn(kListenCases));

struct HostCase {
    const char* header;
    int port;
    bool allowed;
};

// Names as HostNamesFor gives them for 0.0.0.0 with --allow-host kq7.lab.
const std::vector<std::string> kHostNames{"localhost", "::1", "0.0.0.0", "bench-pc", "192.168.1.20", "kq7.lab"};

const HostCase kHostCases[] = {
    {"bench-pc:8477", 8477, true},       {"BENCH-PC:8477", 8477, true},   {"[::1]:8477", 8477, true},
    {"192.168.1.20:8477", 8477, true},   {"kq7.lab:8477", 8477, true},    {"bench-pc", 80, true},
    {"bench-pc:80", 80, true},           {"bench-pc", 8477, false},       {"bench-pc:8478", 8477, false},
    {"rebound.example:8477", 8477, false}, {"", 8477, false},             {"bench-pc.:8477", 8477, false},
};

class HostHeaderTest : public testing::TestWithParam<HostCase> {};

TEST_P(HostHeaderTest, AllowsOnlyTheNamesOfThisComputerAtItsPort) {
    const HostCase& c = GetParam();
    EXPECT_EQ(HostHeaderAllowed(c.header, kHostNames, c.port), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(Headers, HostHeaderTest, testing::ValuesIn(kHostCases));

constexpr std::chrono::milliseconds kNoWait{0};

TEST(BroadcastTest, AReaderThatFellBehindGetsOnlyTheNewestOfEachTopic) {
    Broadcast broadcast;
    Broadcast::Seen seen{};
    std::vector<Event> events;
    broadcast.Publish(Topic::Sensor, "sensor");
    for (int i = 1; i <= 100; ++i) {
        broadcast.Publish(Topic::Spectrum, std::to_string(i));
    }
    ASSERT_TRUE(broadcast.Next(seen, events, kNoWait));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].topic, Topic::Sensor);
    EXPECT_EQ(events[1].data, "100");
    ASSERT_TRUE(broadcast.Next(seen, events, kNoWait));
    EXPECT_TRUE(events.empty());
    broadcast.Close();
    EXPECT_FALSE(broadcast.Next(seen, events, std::chrono::hours(1)));
}

}  // namespace
}  // namespace kq7serve
