/* SPDX-License-Identifier: MIT */
// Publisher, subscriber and recorder against the real mosquitto that
// scripts/checks/66-mqtt.sh starts: its folder (ports, password, CA) in
// KQ7_TEST_BROKER_FOLDER, the command that restarts it in KQ7_TEST_BROKER_RESTART.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "kq7/publish/publisher.h"
#include "kq7/publish/recorder.h"
#include "kq7/publish/subscriber.h"

namespace kq7publish {
namespace {

using namespace std::chrono_literals;

std::string Folder() {
    const char* folder = std::getenv("KQ7_TEST_BROKER_FOLDER");
    return folder == nullptr ? "" : folder;
}

BrokerOptions Broker(bool tls) {
    BrokerOptions options;
    std::ifstream ports(Folder() + "/ports");
    int plain = 0, secure = 0;
    ports >> plain >> secure;
    options.tls = tls;
    options.host = tls ? "localhost" : "127.0.0.1";
    options.port = tls ? secure : plain;
    options.cafile = tls ? Folder() + "/ca.crt" : "";
    options.username = "kq7";
    EXPECT_EQ(ReadPasswordFile(Folder() + "/password", options.password), "");
    return options;
}

template <class Done>
bool WaitFor(Done done, std::chrono::milliseconds limit = 5s) {
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return done();
}

// What a subscriber heard, by topic, and a recorder fed with it.
struct Listener {
    explicit Listener(const std::string& prefix, BrokerOptions options = Broker(false))
        : folder(testing::TempDir() + "/" + prefix),
          recorder((std::filesystem::create_directories(folder), folder), {}),
          subscriber(options, prefix, 1, [this](const SensorTopicName& topic, const std::string& payload) {
              recorder.Take(topic, payload);
              std::lock_guard<std::mutex> lock(mutex);
              last[topic.kind] = payload;
          }) {
        subscriber.Start();
    }
    std::string Last(TopicKind kind) {
        std::lock_guard<std::mutex> lock(mutex);
        return last[kind];
    }
    uint64_t Rows() {
        const auto summary = recorder.Summary();
        return summary.empty() ? 0 : summary[0].rows;
    }
    std::string folder;
    Recorder recorder;
    std::mutex mutex;
    std::map<TopicKind, std::string> last;
    Subscriber subscriber;
};

PublisherOptions Publishing(const std::string& prefix, BrokerOptions broker = Broker(false)) {
    PublisherOptions options;
    options.broker = std::move(broker);
    options.prefix = prefix;
    options.qos = 1;
    return options;
}

SensorDescription Sensor(int bands) {
    SensorInfoC info{};
    std::snprintf(info.identField2, sizeof info.identField2, "S1");
    info.bandnumber = bands;
    info.coeff[2] = 1.0f;
    info.coeff[3] = 300.0f;
    return DescribeSensor(info, "/dev/ttyUSB0", true);
}

SpectrumMessage Spectrum(uint64_t sequence, int bands) {
    SpectrumMessage s;
    s.timeMs = 1796862000000 + sequence;
    s.sequence = sequence;
    s.shutter = 100;
    s.counts.assign(bands, static_cast<double>(sequence % 65536));
    return s;
}

std::string StateOf(const std::string& statusPayload) {
    StatusMessage status;
    return DecodeStatus(statusPayload, status).empty() ? StateWord(status.state) : "";
}

class BrokerTest : public testing::Test {
protected:
    void SetUp() override {
        if (Folder().empty()) {
            GTEST_SKIP() << "no broker: run scripts/checks/66-mqtt.sh";
        }
    }
};

TEST_F(BrokerTest, RecorderGetsEverySpectrumAtQos1InBothFormats) {
    for (PayloadFormat format : {PayloadFormat::Json, PayloadFormat::Binary}) {
        const std::string prefix = format == PayloadFormat::Json ? "json" : "binary";
        Listener listener(prefix);
        PublisherOptions options = Publishing(prefix, Broker(true));  // and over TLS
        options.format = format;
        Publisher publisher(options, "S1", nullptr);
        publisher.Start();
        publisher.SetInfo(Sensor(512));
        publisher.SetState(PublisherState::Capturing);
        ASSERT_TRUE(WaitFor([&] { return !listener.Last(TopicKind::Info).empty(); })) << prefix;
        for (uint64_t sequence = 1; sequence <= 200; ++sequence) {
            publisher.PublishSpectrum(Spectrum(sequence, 512));
        }
        EXPECT_TRUE(WaitFor([&] { return listener.Rows() == 200; })) << prefix << ": " << listener.Rows();
        EXPECT_EQ(listener.recorder.Summary()[0].missing, 0u);
        EXPECT_EQ(StateOf(listener.Last(TopicKind::Status)), "capturing");
        EXPECT_EQ(publisher.Stats().droppedSpectra, 0u);
    }
}

TEST_F(BrokerTest, WrongCredentialsAndCertificatesAreToldApart) {
    BrokerOptions wrongPassword = Broker(false);
    wrongPassword.password += "x";
    BrokerOptions wrongCa = Broker(true);
    wrongCa.cafile = Folder() + "/server.crt";  // not the certificate that signed it
    for (const auto& [options, problem] : {std::pair{wrongPassword, "not authorised"},
                                           std::pair{wrongCa, "certificate verify failed"}}) {
        Publisher publisher(Publishing("refused", options), "S1", nullptr);
        publisher.Start();
        EXPECT_TRUE(WaitFor([&] { return publisher.Stats().connection.problem.find(problem) != std::string::npos; }))
            << publisher.Stats().connection.problem;
        EXPECT_FALSE(publisher.Stats().connection.connected);
    }
}

TEST_F(BrokerTest, UnreachableBrokerNeitherBlocksNorGrows) {
    BrokerOptions nowhere = Broker(false);
    nowhere.port = 1;
    PublisherOptions options = Publishing("nowhere", nowhere);
    options.queueCapacity = 8;
    Publisher publisher(options, "S1", nullptr);
    publisher.Start();
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t sequence = 1; sequence <= 10000; ++sequence) {
        publisher.PublishSpectrum(Spectrum(sequence, 512));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    const PublisherStats stats = publisher.Stats();
    EXPECT_EQ(stats.queuedSpectra, 8u);
    EXPECT_EQ(stats.droppedSpectra, 9992u);
    EXPECT_NE(stats.connection.problem, "");
}

TEST_F(BrokerTest, KilledPublisherShowsOffline) {
    const pid_t child = fork();
    if (child == 0) {
        Publisher publisher(Publishing("killed"), "S1", nullptr);
        publisher.Start();
        publisher.SetState(PublisherState::Capturing);
        WaitFor([&] { return publisher.Stats().delivered > 0; });
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto killed = std::chrono::steady_clock::now();
    Listener listener("killed");
    EXPECT_TRUE(WaitFor([&] { return StateOf(listener.Last(TopicKind::Status)) == "offline"; }, 10s));
    std::printf("offline %lld ms after SIGKILL\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::steady_clock::now() - killed).count()));
}

TEST_F(BrokerTest, SettingsGetAResultWithTheReason) {
    PublisherOptions options = Publishing("settings");
    options.acceptSettings = true;
    std::vector<int> applied;
    Publisher publisher(options, "S1", [&](const SettingsRequest& request) {
        applied.push_back(*request.shutter);
        return request.shutter > 5000 ? "not now" : "";
    });
    publisher.Start();
    std::mutex mutex;
    std::vector<std::string> results;
    BrokerEvents events;
    BrokerClient* sender = nullptr;
    events.connected = [&] { sender->Subscribe("settings/S1/set/result", 1); };
    events.message = [&](const std::string&, const std::string& payload) {
        std::lock_guard<std::mutex> lock(mutex);
        results.push_back(payload);
    };
    BrokerClient client(Broker(false), nullptr, events);
    sender = &client;
    client.Start();
    ASSERT_TRUE(WaitFor([&] { return client.Report().connected && publisher.Stats().connection.connected; }));
    std::this_thread::sleep_for(200ms);  // both subscriptions in place
    for (const std::string& request : {std::string(R"({"request_id":"a","shutter":200})"),
                                       std::string(R"({"request_id":"b","shutter":6000})"), std::string("{"),
                                       std::string(4000, '{'), std::string(R"({"gain":1})")}) {
        client.Publish("settings/S1/set", request, 1, false);
    }
    ASSERT_TRUE(WaitFor([&] { std::lock_guard<std::mutex> lock(mutex); return results.size() == 5; }));
    EXPECT_EQ(results[0], R"({"accepted":true,"reason":"","request_id":"a"})");
    EXPECT_EQ(results[1], R"({"accepted":false,"reason":"not now","request_id":"b"})");
    EXPECT_NE(results[2].find("not JSON"), std::string::npos);
    EXPECT_NE(results[3].find("4000 bytes"), std::string::npos);
    EXPECT_NE(results[4].find("unknown field"), std::string::npos);
    EXPECT_EQ(applied, (std::vector<int>{200, 6000}));
}

TEST_F(BrokerTest, BrokerRestartLosesNothingAtQos1) {
    BrokerOptions kept = Broker(false);
    kept.clientId = "kq7-recorder-test";
    kept.cleanSession = false;
    Listener listener("restart", kept);
    Publisher publisher(Publishing("restart"), "S1", nullptr);
    publisher.Start();
    publisher.SetInfo(Sensor(64));
    ASSERT_TRUE(WaitFor([&] { return !listener.Last(TopicKind::Info).empty(); }));
    std::chrono::steady_clock::time_point restarted;
    uint64_t sequence = 0;
    std::thread restart([&] {
        std::this_thread::sleep_for(500ms);
        EXPECT_EQ(std::system(std::getenv("KQ7_TEST_BROKER_RESTART")), 0);
        restarted = std::chrono::steady_clock::now();
    });
    for (const auto end = std::chrono::steady_clock::now() + 4s; std::chrono::steady_clock::now() < end;) {
        publisher.PublishSpectrum(Spectrum(++sequence, 64));
        std::this_thread::sleep_for(10ms);
    }
    restart.join();
    ASSERT_TRUE(WaitFor([&] { return publisher.Stats().connection.connections == 2; }));
    const auto back = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - restarted);
    // The only gaps: what the publisher dropped while the broker was away, and says so.
    const uint64_t dropped = publisher.Stats().droppedSpectra;
    EXPECT_TRUE(WaitFor([&] { return listener.Rows() + dropped == sequence; })) << listener.Rows() << " of " << sequence;
    EXPECT_EQ(listener.recorder.Summary()[0].missing, dropped);
    EXPECT_EQ(listener.subscriber.Report().connections, 2);
    std::printf("publisher back %lld ms after the broker; %llu of %llu spectra dropped meanwhile, %llu repeated\n",
                static_cast<long long>(back.count()), static_cast<unsigned long long>(dropped),
                static_cast<unsigned long long>(sequence),
                static_cast<unsigned long long>(listener.recorder.Summary()[0].duplicates));
}

}  // namespace
}  // namespace kq7publish
