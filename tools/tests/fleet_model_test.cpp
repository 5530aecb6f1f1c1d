// SPDX-License-Identifier: MIT
// kq7 serve --broker's model of the fleet, fed the payloads a publisher sends.
#include <gtest/gtest.h>

#include <cstdio>

#include "kq7/serve/fleet_model.h"

namespace kq7serve {
namespace {

using kq7publish::TopicKind;
using namespace std::chrono_literals;

TEST(FleetModelTest, ListsEachSensorAndFeedsItsPage) {
    FleetModel fleet;
    const FleetModel::Clock::time_point start{};
    SensorInfoC info{};
    std::snprintf(info.identField2, sizeof info.identField2, "S1");
    info.bandnumber = 2;
    info.maxValue = 1000;
    info.coeff[3] = 400.0f;
    fleet.Take({"S1", TopicKind::Info}, kq7publish::EncodeInfo(kq7publish::DescribeSensor(info, "sim", true)), start);
    fleet.Take({"S1", TopicKind::Status},
               kq7publish::EncodeStatus({kq7publish::PublisherState::Capturing, 1, true, 0, "i"}), start);
    fleet.Take({"S1", TopicKind::Spectrum}, "{not json", start);
    kq7publish::SpectrumMessage spectrum;
    spectrum.counts = {10, 990};
    for (uint64_t sequence : {1, 2, 3}) {
        spectrum.sequence = sequence;
        fleet.Take({"S1", TopicKind::Spectrum}, kq7publish::EncodeSpectrum(spectrum, kq7publish::PayloadFormat::Binary),
                   start + static_cast<int>(sequence - 1) * 250ms);
    }
    const std::string list = fleet.ListJson(start + 1000ms);
    EXPECT_EQ(list, R"([{"serial":"S1","model":"","host":")" + kq7publish::DescribeSensor(info, "", true).host +
                        R"(","state":"capturing","acceptsSettings":true,"age":0.5,"rate":4}])");
    EXPECT_NE(fleet.ListJson(start + 10s).find(R"("rate":0)"), std::string::npos);
    EXPECT_TRUE(fleet.AcceptsSettings("S1"));
    EXPECT_FALSE(fleet.AcceptsSettings("S2"));
    EXPECT_EQ(fleet.Events("S2"), nullptr);

    Broadcast::Seen seen{};
    std::vector<Event> events;
    ASSERT_TRUE(fleet.Events("S1")->Next(seen, events, 0ms));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_NE(events[0].data.find(R"("fullScale":1000)"), std::string::npos);
    EXPECT_NE(events[1].data.find(R"("state":"capturing")"), std::string::npos);
    EXPECT_NE(events[2].data.find(R"("sequence":3)"), std::string::npos);
    EXPECT_NE(events[2].data.find(R"("percent":99)"), std::string::npos);
}

}  // namespace
}  // namespace kq7serve
