/* SPDX-License-Identifier: MIT */
// The MQTT payloads, topics and queue, without a broker.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "kq7/publish/broker_options.h"
#include "kq7/publish/outgoing_queue.h"
#include "kq7/publish/publish_sink.h"
#include "kq7/publish/recorder.h"
#include "kq7/publish/sensor_payloads.h"
#include "kq7/publish/settings_request.h"
#include "kq7/publish/spectrum_payload.h"
#include "kq7/publish/topics.h"

namespace kq7publish {
namespace {

SpectrumMessage SampleSpectrum() {
    SpectrumMessage s;
    s.timeMs = 0x0102030405060708ull;
    s.sequence = 0x1122334455667788ull;
    s.shutter = 0x0a0b0c0d;
    s.averages = 0x0203;
    s.darkSubtracted = true;
    s.saturatedBands = 2;
    s.counts = {1.5, -3.25};  // binary32 holds both exactly
    return s;
}

void ExpectSame(const SpectrumMessage& a, const SpectrumMessage& b) {
    EXPECT_EQ(a.timeMs, b.timeMs);
    EXPECT_EQ(a.sequence, b.sequence);
    EXPECT_EQ(a.shutter, b.shutter);
    EXPECT_EQ(a.averages, b.averages);
    EXPECT_EQ(a.darkSubtracted, b.darkSubtracted);
    EXPECT_EQ(a.saturatedBands, b.saturatedBands);
    EXPECT_EQ(a.counts, b.counts);
}

TEST(SpectrumPayloadTest, BothFormatsReadBackWhatWasWritten) {
    for (PayloadFormat format : {PayloadFormat::Json, PayloadFormat::Binary}) {
        SpectrumMessage back;
        ASSERT_EQ(DecodeSpectrum(EncodeSpectrum(SampleSpectrum(), format), back), "");
        ExpectSame(back, SampleSpectrum());
    }
}

TEST(SpectrumPayloadTest, BinaryLayoutIsLittleEndianByteByByte) {
    const std::string bytes = EncodeSpectrum(SampleSpectrum(), PayloadFormat::Binary);
    const std::string header("KQ7S\x01\x01\x02\x00"                  // magic, layout, flags, bands
                             "\x08\x07\x06\x05\x04\x03\x02\x01"      // time
                             "\x88\x77\x66\x55\x44\x33\x22\x11"      // sequence
                             "\x0d\x0c\x0b\x0a\x03\x02\x02\x00"      // shutter, averages, saturated
                             "\x00\x00\xc0\x3f\x00\x00\x50\xc0", 40);  // 1.5f, -3.25f
    EXPECT_EQ(bytes, header);
}

TEST(SpectrumPayloadTest, RefusesWhatItCannotRead) {
    const std::string good = EncodeSpectrum(SampleSpectrum(), PayloadFormat::Binary);
    std::string otherLayout = good;
    otherLayout[4] = 2;
    for (const auto& [payload, reason] : std::vector<std::pair<std::string, std::string>>{
             {good.substr(0, 20), "shorter than its header"},
             {good.substr(0, good.size() - 1), "7 bytes of counts, not 8"},
             {otherLayout, "layout 2"},
             {"{\"time_ms\":1}", "no field \"sequence\""},
             {"[1,2]", "not a JSON object"}}) {
        SpectrumMessage back;
        EXPECT_NE(DecodeSpectrum(payload, back).find(reason), std::string::npos) << reason;
    }
}

TEST(SettingsRequestTest, StrictAboutEveryField) {
    for (const auto& [payload, reason] : std::vector<std::pair<std::string, std::string>>{
             {R"({"request_id":"a","shutter":250,"averages":4,"subtract_dark":true})", ""},
             {R"({"auto_exposure":80,"take_dark":true,"resume":true})", ""},
             {R"({"shutter":)", "not JSON"},
             {std::string(2000, ' ') + "{}", "more than 1024"},
             {R"({"shutter":100,"gain":2})", "unknown field \"gain\""},
             {R"({"shutter":0})", "shutter 0 is out of range 1..10000"},
             {R"({"averages":101})", "out of range 1..100"},
             {R"({"shutter":1.5})", "not a whole number"},
             {R"({"shutter":18446744073709551615})", "out of range"},
             {R"({"coefficients":[0,0,1,400]})", "never set over the broker"},
             {R"({"pause":true,"resume":true})", "pause and resume together"},
             {R"({"pause":false})", "takes true only"},
             {R"({"shutter":5,"auto_exposure":50})", "together"},
             {R"({"request_id":"b"})", "no setting"}}) {
        SettingsRequest request;
        const std::string got = ParseSettingsRequest(payload, request);
        EXPECT_TRUE(reason.empty() ? got.empty() : got.find(reason) != std::string::npos) << payload << ": " << got;
    }
    SettingsRequest request;
    ParseSettingsRequest(R"({"request_id":"r7","shutter":-1})", request);
    EXPECT_EQ(request.requestId, "r7");  // so that the refusal can name it
}

TEST(TopicsTest, LayoutAndParsing) {
    EXPECT_EQ(SensorTopic("lab/kq7", "A/1+#", TopicKind::SetResult), "lab/kq7/A_1__/set/result");
    const auto name = ParseSensorTopic("lab/kq7", "lab/kq7/S1/spectrum");
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->serial, "S1");
    EXPECT_EQ(name->kind, TopicKind::Spectrum);
    for (const char* other : {"lab/kq7/S1/other", "lab/kq7/spectrum", "lab/kq70/S1/info", "lab/kq7//info"}) {
        EXPECT_FALSE(ParseSensorTopic("lab/kq7", other).has_value()) << other;
    }
    for (const char* bad : {"", "a/+", "#", "a//b", "/a"}) {
        EXPECT_NE(CheckPrefix(bad), "") << bad;
    }
}

TEST(BrokerOptionsTest, Urls) {
    for (const auto& [url, tls, host, port] : std::vector<std::tuple<std::string, bool, std::string, int>>{
             {"mqtt://broker.lab", false, "broker.lab", 1883},
             {"mqtts://10.0.0.2:9999/", true, "10.0.0.2", 9999},
             {"mqtt://[::1]:1884", false, "::1", 1884}}) {
        BrokerOptions options;
        ASSERT_EQ(ParseBrokerUrl(url, options), "") << url;
        EXPECT_EQ(std::tie(options.tls, options.host, options.port), std::tie(tls, host, port)) << url;
    }
    for (const char* bad : {"http://x", "mqtt://", "mqtt://x:0", "mqtt://x:port", "mqtt://u@x", "mqtt://[::1"}) {
        BrokerOptions options;
        EXPECT_NE(ParseBrokerUrl(bad, options), "") << bad;
    }
    BrokerOptions remote;
    remote.host = "broker.lab";
    EXPECT_NE(SettingsRefusal(remote), "");
    remote.username = "kq7";
    EXPECT_EQ(SettingsRefusal(remote), "");
}

TEST(OutgoingQueueTest, StateFirstOldestSpectrumDropped) {
    OutgoingQueue queue(2);
    for (const char* spectrum : {"s1", "s2", "s3"}) {
        queue.PushSpectrum(spectrum);
    }
    queue.SetStatus("old");
    queue.SetStatus("new");
    EXPECT_EQ(queue.DroppedSpectra(), 1u);
    std::optional<Outgoing> status = queue.Take();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->payload, "new");
    queue.SetStatus("newer");
    queue.PutBack(*status);  // refused by the network, but already replaced
    EXPECT_EQ(queue.Take()->payload, "newer");
    EXPECT_EQ(queue.Take()->payload, "s2");
    EXPECT_EQ(queue.Take()->payload, "s3");
    EXPECT_TRUE(queue.Empty());
    queue.ResendState();
    EXPECT_EQ(queue.Take()->payload, "newer");
}

SensorDescription SampleSensor(float offsetNm) {
    SensorInfoC info{};
    std::snprintf(info.identField1, sizeof info.identField1, "KQ7M");
    std::snprintf(info.identField2, sizeof info.identField2, "S1");
    info.bandnumber = 2;
    info.coeff[2] = 2.0f;
    info.coeff[3] = offsetNm;
    return DescribeSensor(info, "/dev/ttyUSB0", false);
}

TEST(SensorPayloadsTest, InfoAndStatusReadBack) {
    SensorDescription back;
    ASSERT_EQ(DecodeInfo(EncodeInfo(SampleSensor(400)), back), "");
    EXPECT_EQ(back.wavelengthsNm, (std::vector<double>{402, 404}));
    EXPECT_EQ(back.sensor.coefficients[3], 400);
    EXPECT_EQ(back.sensor.serial, "S1");
    EXPECT_EQ(back.host, SampleSensor(400).host);
    StatusMessage status;
    ASSERT_EQ(DecodeStatus(OfflineWill("a1"), status), "");
    EXPECT_EQ(std::tie(status.state, status.instance), std::make_tuple(PublisherState::Offline, std::string("a1")));
    ASSERT_EQ(DecodeStatus(EncodeStatus({PublisherState::NoAnswer, 5, true, 3, "b2"}), status), "");
    EXPECT_EQ(std::tie(status.state, status.timeMs, status.droppedSpectra, status.instance),
              std::make_tuple(PublisherState::NoAnswer, uint64_t{5}, uint64_t{3}, std::string("b2")));
    EXPECT_NE(NewInstanceId(), NewInstanceId());
}

TEST(SettingsRequestTest, WhatServeSendsIsWhatThePublisherReads) {
    SettingsRequest sent;
    sent.requestId = "kq7-serve-3";
    sent.shutter = 250;
    sent.averages = 4;
    sent.subtractDark = false;
    sent.resume = true;
    sent.takeDark = true;
    SettingsRequest read;
    ASSERT_EQ(ParseSettingsRequest(EncodeSettingsRequest(sent), read), "");
    EXPECT_EQ(std::tie(read.requestId, read.shutter, read.averages, read.subtractDark, read.pause, read.resume,
                       read.takeDark),
              std::tie(sent.requestId, sent.shutter, sent.averages, sent.subtractDark, sent.pause, sent.resume,
                       sent.takeDark));
    std::string id;
    std::string reason;
    ASSERT_EQ(DecodeSettingsResult(EncodeSettingsResult("r1", "shutter 0 is out of range"), id, reason), "");
    EXPECT_EQ(std::tie(id, reason), std::make_tuple(std::string("r1"), std::string("shutter 0 is out of range")));
    EXPECT_NE(DecodeSettingsResult(R"({"request_id":"r1","accepted":true,"reason":"no"})", id, reason), "");
}

TEST(PublishSinkTest, EveryEngineStateHasItsStatusWord) {
    using kq7tool::State;
    const std::pair<State, PublisherState> table[] = {
        {State::Identifying, PublisherState::Online},       {State::Paused, PublisherState::Online},
        {State::Capturing, PublisherState::Capturing},      {State::SearchingExposure, PublisherState::Capturing},
        {State::TakingDark, PublisherState::Capturing},     {State::NoAnswer, PublisherState::NoAnswer},
        {State::Failing, PublisherState::NoAnswer},
    };
    for (const auto& [state, word] : table) {
        EXPECT_EQ(StateFor(state), word) << kq7tool::StateName(state);
    }
}

TEST(RecorderTest, OneStreamFilePerSensorAndInfo) {
    const std::string folder = testing::TempDir() + "/kq7-recorder";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    Recorder recorder(folder, {});
    const SensorTopicName info{"S1", TopicKind::Info};
    const SensorTopicName spectrum{"S1", TopicKind::Spectrum};
    SpectrumMessage s = SampleSpectrum();
    s.timeMs = 1796862000125;
    EXPECT_NE(recorder.Take(spectrum, EncodeSpectrum(s, PayloadFormat::Json)).find("before the sensor's info"),
              std::string::npos);
    EXPECT_EQ(recorder.Take(info, EncodeInfo(SampleSensor(400))), "");
    for (uint64_t sequence : {1, 2, 5, 5, 3}) {  // a repeat and a late one, as after a reconnection
        s.sequence = sequence;
        EXPECT_EQ(recorder.Take(spectrum, EncodeSpectrum(s, PayloadFormat::Binary)), "");
    }
    EXPECT_EQ(recorder.Take(info, EncodeInfo(SampleSensor(500))), "");
    s.sequence = 6;
    EXPECT_EQ(recorder.Take(spectrum, EncodeSpectrum(s, PayloadFormat::Json)), "");
    const std::vector<RecordedSensor> summary = recorder.Summary();
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(std::tie(summary[0].rows, summary[0].missing, summary[0].duplicates),
              std::make_tuple(uint64_t{5}, uint64_t{1}, uint64_t{1}));
    ASSERT_EQ(summary[0].files.size(), 2u);
    EXPECT_EQ(summary[0].files[1], folder + "/S1-20261210T002000.125Z-2.csv");
    std::ifstream first(summary[0].files[0]);
    std::stringstream text;
    text << first.rdbuf();
    EXPECT_NE(text.str().find("# serial: S1\n"), std::string::npos);
    EXPECT_NE(text.str().find("# averages: 515\n# dark_subtracted: yes\n"), std::string::npos);
    EXPECT_NE(text.str().find("time,shutter_value,402.000,404.000\n"
                              "2026-12-10T00:20:00.125Z,168496141,1.5,-3.25\n"),
              std::string::npos);
}

}  // namespace
}  // namespace kq7publish
