/* SPDX-License-Identifier: MIT */
// The device interface: devices of their own, result codes, cancel, log.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "support/console_capture.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;
using test::Frame;
using test::QueueIdentification;
using test::ScriptedHost;

Bytes Spectrum(size_t bands, uint16_t value) {
    return Frame(CMD_GET_DATA, test::SpectrumPayload(std::vector<uint16_t>(bands, value)));
}

// A sensor that answers every request at once: `bands` samples of `value`.
void AnswerEverything(ScriptedHost& host, const std::string& ident, int32_t bands, uint16_t value) {
    host.SetResponder([=](const Bytes& request) -> std::optional<test::Reply> {
        switch (request[kCommandOffset]) {
            case CMD_GET_IDENT:
                return test::Reply{Frame(CMD_GET_IDENT, test::TextPayload(ident))};
            case CMD_GET_BANDNUMBER:
                return test::Reply{Frame(CMD_GET_BANDNUMBER, test::BigEndianInt32(bands))};
            case CMD_GET_COEFF:
                return test::Reply{Frame(CMD_GET_COEFF, test::CoefficientPayload(test::kLinearCoefficients))};
            case CMD_GET_DATA:
                return test::Reply{Spectrum(static_cast<size_t>(bands), value)};
            default:
                return test::Reply{Frame(request[kCommandOffset], {})};
        }
    });
}

// A device on a scripted host of its own, with its log lines collected.
struct ScriptedDevice {
    ScriptedHost host{ScriptedHost::Registration::kNone};
    kq7_device* device = kq7_open(ScriptedHost::Write, ScriptedHost::Read, &host);
    std::vector<std::string> lines;

    ScriptedDevice() { kq7_set_log(device, Collect, &lines); }
    ~ScriptedDevice() { kq7_close(device); }

    static void KQ7_CALL Collect(void* context, const char* line) {
        static_cast<std::vector<std::string>*>(context)->push_back(line);
    }
};

class DeviceTest : public ::testing::Test {
protected:
    test::FakeClock clock;
    std::vector<uint16_t> samples = std::vector<uint16_t>(2048, 0xBEEF);
};

TEST_F(DeviceTest, TwoDevicesOnTwoLinksInterleaved) {
    ScriptedDevice first;
    ScriptedDevice second;
    QueueIdentification(first.host, "ONE-1", 4);
    QueueIdentification(second.host, "TWO-2", 8);
    ASSERT_EQ(kq7_identify(first.device), KQ7_OK);
    ASSERT_EQ(kq7_identify(second.device), KQ7_OK);
    for (uint16_t round = 1; round <= 3; ++round) {
        first.host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
        first.host.QueueReply(Spectrum(4, round));
        second.host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
        second.host.QueueReply(Spectrum(8, static_cast<uint16_t>(100 + round)));
        EXPECT_EQ(kq7_capture(first.device, round, samples.data(), 2048), 4);
        EXPECT_EQ(samples[3], round);
        EXPECT_EQ(kq7_capture(second.device, round, samples.data(), 2048), 8);
        EXPECT_EQ(samples[7], 100 + round);
    }
    SensorInfoC info;
    ASSERT_EQ(kq7_get_info(first.device, &info), KQ7_OK);
    EXPECT_STREQ(info.identField1, "ONE");
    ASSERT_EQ(kq7_get_info(second.device, &info), KQ7_OK);
    EXPECT_STREQ(info.identField2, "2");
    EXPECT_EQ(first.host.Writes().size(), 9u);
    EXPECT_EQ(second.host.Writes().size(), 9u);
}

// Run under ThreadSanitizer by the sanitizer check: devices share nothing.
TEST_F(DeviceTest, TwoDevicesOnTwoThreads) {
    ScriptedDevice devices[2];
    std::vector<int> failures(2, 0);
    std::vector<std::thread> threads;
    for (int d = 0; d < 2; ++d) {
        AnswerEverything(devices[d].host, "T-" + std::to_string(d), 16 + d, static_cast<uint16_t>(d + 1));
        threads.emplace_back([&, d] {
            std::vector<uint16_t> spectrum(64);
            failures[d] += kq7_identify(devices[d].device) != KQ7_OK;
            for (int32_t shutter = 0; shutter < 50; ++shutter) {
                failures[d] += kq7_capture(devices[d].device, shutter % 3, spectrum.data(), 64) != 16 + d ||
                               spectrum[15] != d + 1;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, (std::vector<int>{0, 0}));
}

// The device hands its log lines to the callback, without line ends, in the
// texts the seven exports print; standard output gets nothing.
TEST_F(DeviceTest, LogLinesGoToTheCallbackOnly) {
    ScriptedDevice scripted;
    QueueIdentification(scripted.host);
    test::ConsoleCapture console;
    ASSERT_EQ(kq7_identify(scripted.device), KQ7_OK);
    EXPECT_EQ(console.Take(), "");
    const std::string dump = test::DumpLine(Frame(CMD_GET_IDENT, test::TextPayload("ABC-123")));
    ASSERT_EQ(scripted.lines.size(), 5u);
    EXPECT_EQ(scripted.lines[0], dump.substr(0, dump.size() - 1));
    EXPECT_EQ(scripted.lines[1], "ABC-123");
    EXPECT_EQ(scripted.lines[4], "a0:0  a1:0  a2:0.5  a3:399.9");
    kq7_set_log(scripted.device, nullptr, nullptr);
    scripted.host.QueueReply(Frame(CMD_SHUTTER_OPEN, {}));
    EXPECT_EQ(kq7_set_shutter_open(scripted.device, 1), KQ7_OK);
    EXPECT_EQ(scripted.lines.size(), 5u);
}

// Each failure code, reached through one call on an identified device
// (512 bands) whose sensor then answers as scripted.
struct CodeCase {
    const char* name;
    int expected;
    std::function<int(ScriptedDevice&, uint16_t* samples)> call;
};

void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.name; }

class ResultCodeTest : public DeviceTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(ResultCodeTest, IsReached) {
    ScriptedDevice scripted;
    QueueIdentification(scripted.host);
    ASSERT_EQ(kq7_identify(scripted.device), KQ7_OK);
    EXPECT_EQ(GetParam().call(scripted, samples.data()), GetParam().expected);
    EXPECT_STRNE(kq7_strerror(GetParam().expected), kq7_strerror(KQ7_OK));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResultCodeTest,
    ::testing::Values(
        CodeCase{"buffer_below_band_count", KQ7_ERR_INVALID_ARGUMENT,
                 [](ScriptedDevice& s, uint16_t* samples) {
                     const int result = kq7_capture(s.device, 0, samples, 511);
                     return s.host.Writes().size() == 3 && samples[0] == 0xBEEF ? result : 0;
                 }},
        CodeCase{"not_identified", KQ7_ERR_NOT_IDENTIFIED,
                 [](ScriptedDevice& s, uint16_t*) {
                     s.host.QueueSilence();
                     kq7_identify(s.device);
                     int32_t shutter = 0;
                     return kq7_auto_exposure(s.device, 90, &shutter);
                 }},
        CodeCase{"no_reply", KQ7_ERR_NO_REPLY, [](ScriptedDevice& s, uint16_t*) { return kq7_identify(s.device); }},
        CodeCase{"rejected_reply", KQ7_ERR_REJECTED_REPLY,
                 [](ScriptedDevice& s, uint16_t*) {
                     s.host.QueueReply(test::WithCrcBytes(Frame(CMD_SHUTTER_OPEN, {}), 0x12, 0x34));
                     return kq7_set_shutter_open(s.device, 1);
                 }},
        CodeCase{"busy", KQ7_ERR_BUSY,
                 [](ScriptedDevice& s, uint16_t*) {
                     s.host.SetResponder([](const Bytes&) { return test::Reply{Frame(REPLY_BUSY, {})}; });
                     const double coeffs[4] = {0, 0, 1, 300};
                     return kq7_write_coefficients(s.device, coeffs, 4);
                 }},
        CodeCase{"band_count_out_of_range", KQ7_ERR_BAD_IDENTIFICATION,
                 [](ScriptedDevice& s, uint16_t*) {
                     QueueIdentification(s.host, "ABC-123", 2049);
                     return kq7_identify(s.device);
                 }},
        CodeCase{"short_spectrum", KQ7_ERR_SHORT_SPECTRUM,
                 [](ScriptedDevice& s, uint16_t* samples) {
                     s.host.QueueReply(Frame(CMD_SET_SHUTTER, {}));
                     s.host.QueueReply(Spectrum(511, 7));
                     return kq7_capture(s.device, 0, samples, 2048);
                 }},
        CodeCase{"exposure_too_dark", KQ7_ERR_OUT_OF_RANGE,
                 [](ScriptedDevice& s, uint16_t*) {
                     AnswerEverything(s.host, "ABC-123", 512, 0);
                     int32_t shutter = 0;
                     const int result = kq7_auto_exposure(s.device, 90, &shutter);
                     return shutter == 10000 ? result : 0;
                 }},
        CodeCase{"in_use", KQ7_ERR_IN_USE, [](ScriptedDevice& s, uint16_t* samples) {
                     int nested = KQ7_OK;
                     s.host.SetReadHook([&] { nested = kq7_capture(s.device, 0, samples, 2048); });
                     s.host.QueueSilence();
                     kq7_set_shutter_open(s.device, 0);
                     return nested;
                 }}));

// A cancel from inside the read function stands for one from another thread
// or a signal handler: the capture ends at the next poll, in fake time.
TEST_F(DeviceTest, CancelEndsACaptureOnASilentSensorAtTheNextPoll) {
    ScriptedDevice scripted;
    QueueIdentification(scripted.host);
    ASSERT_EQ(kq7_identify(scripted.device), KQ7_OK);
    uint64_t cancelledAt = 0;
    scripted.host.SetReadHook([&] {
        if (cancelledAt == 0 && test::FakeClock::Now() > 1500) {
            cancelledAt = test::FakeClock::Now();
            kq7_cancel(scripted.device);
        }
    });
    const size_t writesBefore = scripted.host.Writes().size();
    EXPECT_EQ(kq7_capture(scripted.device, 10000, samples.data(), 2048), KQ7_ERR_CANCELLED);
    EXPECT_LE(test::FakeClock::Now() - cancelledAt, 1u);
    EXPECT_EQ(scripted.host.Writes().size(), writesBefore + 1);  // no resend
    EXPECT_EQ(samples[0], 0xBEEF);
    // A cancel while no call runs has no effect.
    kq7_cancel(scripted.device);
    scripted.host.SetReadHook(nullptr);
    scripted.host.QueueReply(Frame(CMD_SHUTTER_CLOSE, {}));
    EXPECT_EQ(kq7_set_shutter_open(scripted.device, 0), KQ7_OK);
}

TEST_F(DeviceTest, CancelOfNullEndsTheCallOfTheSevenExports) {
    ScriptedHost host;
    QueueIdentification(host);
    test::ConsoleCapture console;
    ASSERT_EQ(KQ7SensorInit(), 1);
    host.SetReadHook([] { kq7_cancel(nullptr); });
    EXPECT_EQ(KQ7GetData(samples.data(), 100), 0);
    EXPECT_EQ(host.Writes().size(), 4u);
}

// On the system clock, from another thread: how long the blocked call takes
// to return after kq7_cancel.
TEST(DeviceRealTimeTest, CancelFromAnotherThreadReturnsWithinMilliseconds) {
    ScriptedDevice scripted;
    {
        const test::FakeClock clock;
        QueueIdentification(scripted.host);
        ASSERT_EQ(kq7_identify(scripted.device), KQ7_OK);
    }
    using Clock = std::chrono::steady_clock;
    Clock::time_point cancelled;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        cancelled = Clock::now();
        kq7_cancel(scripted.device);
    });
    std::vector<uint16_t> samples(512);
    const int result = kq7_capture(scripted.device, 10000, samples.data(), 512);
    const Clock::time_point returned = Clock::now();
    canceller.join();
    EXPECT_EQ(result, KQ7_ERR_CANCELLED);
    using Milliseconds = std::chrono::duration<double, std::milli>;
    const double latencyMs = Milliseconds(returned - cancelled).count();
    EXPECT_LT(latencyMs, 20.0);
    RecordProperty("cancel_to_return_us", static_cast<int>(latencyMs * 1000));
}

// A close during a call of the device would leave the call on a freed device.
TEST_F(DeviceTest, OpenRefusesNullFunctionsAndCloseIsIgnoredOnNullOrDuringACall) {
    EXPECT_EQ(kq7_open(nullptr, ScriptedHost::Read, nullptr), nullptr);
    EXPECT_EQ(kq7_open(ScriptedHost::Write, nullptr, nullptr), nullptr);
    kq7_close(nullptr);
    ScriptedDevice scripted;
    QueueIdentification(scripted.host);
    scripted.host.SetReadHook([&] { kq7_close(scripted.device); });
    EXPECT_EQ(kq7_identify(scripted.device), KQ7_OK);
    SensorInfoC info;
    EXPECT_EQ(kq7_get_info(scripted.device, &info), KQ7_OK);
    EXPECT_STREQ(kq7_strerror(-1000), "unknown result code");
}

}  // namespace
}  // namespace kq7
