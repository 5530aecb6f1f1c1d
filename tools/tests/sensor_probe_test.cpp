/* SPDX-License-Identifier: MIT */
// The probe against the in-process sensor, links that are no sensor, and
// ports that cannot be probed.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "kq7/port/sensor_probe.h"
#include "kq7/port/virtual_sensor_link.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "kq7/port/serial_port.h"
#endif

namespace kq7tool {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kTestLimit{150};

// A link that is no sensor: silent, an echo, another device, or unplugged.
class FakeLink : public ByteLink {
public:
    enum Kind { kSilent, kEcho, kGarbage, kUnplugged };
    explicit FakeLink(Kind kind) : kind_(kind) {}
    int64_t Write(const uint8_t* data, int64_t length) override {
        ++requests;
        if (kind_ == kEcho) {
            pending_.insert(pending_.end(), data, data + length);
        } else if (kind_ == kGarbage) {
            pending_ = {'O', 'K', '\r', '\n'};
        }
        return length;
    }
    int64_t Read(uint8_t* dest, int64_t maxLength) override {
        if (kind_ == kUnplugged) {
            return -1;
        }
        const size_t n = std::min(pending_.size(), static_cast<size_t>(maxLength));
        std::copy(pending_.begin(), pending_.begin() + static_cast<long>(n), dest);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
        return static_cast<int64_t>(n);
    }
    std::string Error() const override { return kind_ == kUnplugged ? "the port hung up" : ""; }
    int requests = 0;

private:
    Kind kind_;
    std::vector<uint8_t> pending_;
};

struct LinkCase {
    FakeLink::Kind kind;
    ProbeOutcome outcome;
    const char* detail;
    int requests;  // identification queries sent: never one twice
};

class ProbeLinkTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ProbeLinkTest, SaysWhatAnsweredAndSendsEachQueryOnce) {
    FakeLink link(GetParam().kind);
    const ProbeResult probe = ProbeLink(link, kTestLimit);
    EXPECT_EQ(probe.outcome, GetParam().outcome);
    EXPECT_EQ(probe.detail, GetParam().detail);
    EXPECT_EQ(link.requests, GetParam().requests);
}

INSTANTIATE_TEST_SUITE_P(Links, ProbeLinkTest,
                         ::testing::Values(LinkCase{FakeLink::kSilent, ProbeOutcome::NoAnswer, "", 1},
                                           LinkCase{FakeLink::kEcho, ProbeOutcome::NotASensor,
                                                    "echoes what it is sent", 3},
                                           LinkCase{FakeLink::kGarbage, ProbeOutcome::NotASensor,
                                                    "answered 4f 4b 0d 0a", 1},
                                           LinkCase{FakeLink::kUnplugged, ProbeOutcome::Gone,
                                                    "the port hung up", 1}));

TEST(ProbeLinkSensorTest, IdentifiesTheSensor) {
    VirtualSensorLink link(kq7sim::SimConfig::For(256, 7));
    const ProbeResult probe = ProbeLink(link, kTestLimit);
    ASSERT_EQ(probe.outcome, ProbeOutcome::Sensor);
    EXPECT_EQ(probe.sensor.model, "KQ7");
    EXPECT_EQ(probe.sensor.serial, "SIM00007");
    EXPECT_EQ(probe.sensor.bands, 256);
    EXPECT_NEAR(probe.sensor.firstNm, 340.0, 10.0);
    EXPECT_NEAR(probe.sensor.lastNm, 1030.0, 10.0);
}

#if !defined(_WIN32)
// The other side of a pseudo-terminal that never answers.
class SilentTerminal {
public:
    SilentTerminal() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            path = ptsname(master_);
        }
    }
    ~SilentTerminal() { close(master_); }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;
    std::string path;

private:
    int master_;
};

TEST(ProbePortTest, NamesWhatCannotBeProbed) {
    const std::string file = ::testing::TempDir() + "probe-regular-file";
    std::ofstream(file) << "not a port\n";
    SilentTerminal held;
    SerialPort holder(held.path, 115200);
    const std::vector<ProbeResult> probes =
        ProbePorts({"/dev/null", file, file + "-missing", held.path}, 115200, kTestLimit);
    EXPECT_EQ(probes[0].outcome, ProbeOutcome::NotASerialPort);
    EXPECT_EQ(probes[1].outcome, ProbeOutcome::NotASerialPort);
    EXPECT_EQ(probes[2].outcome, ProbeOutcome::Gone);
    EXPECT_EQ(probes[3].outcome, ProbeOutcome::InUse) << probes[3].detail;
    EXPECT_EQ(probes[3].port, held.path);
}

TEST(ProbePortTest, ProbesEightPortsAtOnce) {
    std::vector<SilentTerminal> terminals(8);
    std::vector<std::string> paths;
    for (const SilentTerminal& terminal : terminals) {
        paths.push_back(terminal.path);
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<ProbeResult> probes = ProbePorts(paths, 115200, kTestLimit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3 * kTestLimit);
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(probes[i].port, paths[i]);
        EXPECT_EQ(probes[i].outcome, ProbeOutcome::NoAnswer) << probes[i].detail;
    }
}
#endif

}  // namespace
}  // namespace kq7tool
