/* SPDX-License-Identifier: MIT */
// The acquisition engine on the instant virtual sensor.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "kq7/acquisition/engine.h"
#include "kq7/port/virtual_sensor_link.h"
#include "support/fake_clock.h"

namespace kq7tool {
namespace {

constexpr std::chrono::milliseconds kPatience{5000};

class RecordingSink : public Sink {
public:
    void OnSensor(const SensorInfoC&, const std::vector<double>& nm) override { bands = nm.size(); }
    void OnStatus(const Status& status) override {
        std::lock_guard<std::mutex> lock(mutex);
        states.push_back(status.state);
        errors.push_back(status.lastError);
    }
    void OnSpectrum(const CapturedSpectrum& spectrum) override {
        std::lock_guard<std::mutex> lock(mutex);
        spectra.push_back(spectrum);
    }
    // Polls `done` (under the lock) for at most a second.
    template <typename Done>
    bool WaitUntil(Done done) {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (done()) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    size_t bands = 0;
    std::mutex mutex;
    std::vector<State> states;
    std::vector<std::string> errors;  // each status's lastError
    std::vector<CapturedSpectrum> spectra;
};

class EngineTest : public ::testing::Test {
protected:
    explicit EngineTest(kq7sim::Fault fault = kq7sim::Fault::None) : link(Config(fault)) {}
    static kq7sim::SimConfig Config(kq7sim::Fault fault) {
        kq7sim::SimConfig config;
        config.fault = fault;
        return config;
    }
    Engine& Started(Pacing pacing, Settings settings = Settings{100, 1, false, false}) {
        engine = std::make_unique<Engine>(sensor, settings, pacing);
        engine->AddSink(sink);
        engine->Start();
        return *engine;
    }

    kq7::test::FakeClock clock;
    VirtualSensorLink link;
    Sensor sensor{link, {"sim", 0, true}, false};
    RecordingSink sink;
    std::unique_ptr<Engine> engine;
};

TEST_F(EngineTest, HandsOnTheCountedSpectraInSequenceThenEnds) {
    Pacing pacing;
    pacing.count = 3;
    ASSERT_TRUE(Started(pacing, Settings{250, 2, false, false}).WaitFor(kPatience));
    EXPECT_EQ(sink.bands, 512u);
    ASSERT_EQ(sink.spectra.size(), 3u);
    for (uint64_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sink.spectra[i].sequence, i + 1);
        EXPECT_EQ(sink.spectra[i].shutter, 250);
        EXPECT_EQ(sink.spectra[i].average, 2);
        EXPECT_EQ(sink.spectra[i].counts.size(), 512u);
    }
    EXPECT_EQ(sink.states.front(), State::Identifying);
}

TEST_F(EngineTest, SubtractsARequestedDarkAndOpensTheShutterAgain) {
    Settings paused{100, 1, false, true};
    Engine& running = Started(Pacing{}, paused);
    running.TakeDark();
    running.Change(SettingsChange{std::nullopt, std::nullopt, std::nullopt, false});
    ASSERT_TRUE(sink.WaitUntil([&] { return !sink.spectra.empty(); }));
    running.Stop();
    EXPECT_TRUE(sink.spectra.front().darkSubtracted);
    EXPECT_TRUE(link.Sensor().ShutterOpen());
    EXPECT_NE(std::find(sink.states.begin(), sink.states.end(), State::TakingDark), sink.states.end());
}

class SilentEngineTest : public EngineTest {
protected:
    SilentEngineTest() : EngineTest(kq7sim::Fault::Silent) {
        // Unanswered calls reach their time limits at once.
        kq7::test::FakeClock::SetTickStep(50);
    }
};

TEST_F(SilentEngineTest, WithoutRetryTheFirstFailureEndsTheRun) {
    try {
        Started(Pacing{}).WaitFor(kPatience);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Status(), kExitNoAnswer);
    }
}

TEST_F(SilentEngineTest, RetryingItSaysNoAnswerAndStopsAtOnce) {
    Pacing pacing;
    pacing.retry = true;
    pacing.retryPause = std::chrono::hours(1);
    Engine& running = Started(pacing);
    EXPECT_TRUE(sink.WaitUntil([&] { return sink.states.back() == State::NoAnswer; }));
    const auto start = std::chrono::steady_clock::now();
    running.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// Hangs up once, then stays silent; its reason stays, as a serial port's does.
class HangUpThenSilence : public ByteLink {
public:
    int64_t Write(const uint8_t*, int64_t length) override { return length; }
    int64_t Read(uint8_t*, int64_t) override { return hungUp_.exchange(true) ? 0 : -1; }
    std::string Error() const override { return "the port hung up"; }

private:
    std::atomic<bool> hungUp_{false};
};

TEST_F(SilentEngineTest, EachFailureShowsItsOwnCause) {
    HangUpThenSilence hangUp;
    Sensor failing(hangUp, {"/dev/ttyUSB0", 9600, false}, false);
    Pacing pacing;
    pacing.retry = true;
    Engine running(failing, Settings{}, pacing);
    running.AddSink(sink);
    running.Start();
    ASSERT_TRUE(sink.WaitUntil([&] { return sink.states.back() == State::NoAnswer; }));
    running.Stop();
    EXPECT_NE(sink.errors[1].find("port /dev/ttyUSB0 failed: the port hung up"), std::string::npos);
    EXPECT_NE(sink.errors.back().find("identification failed: no reply"), std::string::npos) << sink.errors.back();
}

}  // namespace
}  // namespace kq7tool
