/* SPDX-License-Identifier: MIT */
// Captures on the system clock. Every receive starts with the clock's 1 ms
// sleep, so a capture at an unchanged shutter value (one receive) costs at
// least one sleep; set beside a bare sleep of the same clock, the ratio of
// the two is what the library and the sensor add. Each iteration times one
// capture and one bare sleep, so that both meet the same load on the machine.
#include <benchmark/benchmark.h>

#include <chrono>

#include "link/clock.h"
#include "frame_codec.h"
#include "frame_format.h"
#include "link/link.h"
#include "nerb_kq7lib.h"
#include "sim/in_process.h"
#include "sim/sim_config.h"
#include "support/instant_sensor.h"

namespace kq7 {
namespace {

using Stopwatch = std::chrono::steady_clock;

constexpr int kShutter = 100;
constexpr int kMostBands = 2048;
// 515 samples: the 1030 bytes that a capture takes, in a 1037-byte frame.
constexpr int kSpectrumBands = 515;

kq7sim::SimConfig SpectrumSensorConfig() { return kq7sim::SimConfig::For(kSpectrumBands, kq7sim::kDefaultSeed); }

// Spectrum requests since the last reset: one per capture, as the virtual
// sensor answers every request at once.
int spectrumRequests = 0;

int64_t KQ7_CALL CountingWrite(const uint8_t* data, int64_t length) {
    if (length > static_cast<int64_t>(kCommandOffset) && data[kCommandOffset] == CMD_GET_DATA) {
        ++spectrumRequests;
    }
    return kq7sim::InProcessWrite(data, length);
}

void ConnectVirtualSensor() {
    kq7sim::StartInProcess(SpectrumSensorConfig());
    KQ7Set_Serial_FUN(CountingWrite, kq7sim::InProcessRead);
}

double Seconds(Stopwatch::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

using CaptureFn = int (*)(kq7_device* device, uint16_t* spectrum);

int CaptureThroughExports(kq7_device*, uint16_t* spectrum) { return KQ7GetData(spectrum, kShutter); }

int CaptureThroughDevice(kq7_device* device, uint16_t* spectrum) {
    return kq7_capture(device, kShutter, spectrum, kMostBands);
}

// `device` is null for the seven exports, whose functions `connect` has
// registered; `capture` takes one spectrum at kShutter.
void TimeCapturesBesideSleep(benchmark::State& state, kq7_device* device, CaptureFn capture) {
    const Clock& clock = SystemClock();
    uint16_t spectrum[kMostBands];
    // The first capture sets the shutter value; the timed ones keep it.
    capture(device, spectrum);
    Stopwatch::duration capturing{};
    Stopwatch::duration sleeping{};
    for (auto _ : state) {
        const Stopwatch::time_point start = Stopwatch::now();
        const int bands = capture(device, spectrum);
        const Stopwatch::time_point captured = Stopwatch::now();
        clock.sleepOneMillisecond();
        sleeping += Stopwatch::now() - captured;
        capturing += captured - start;
        if (bands <= 0) {
            state.SkipWithError("a capture failed");
            break;
        }
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["capture_ms"] = Seconds(capturing) * 1e3 / iterations;
    state.counters["sleep_ms"] = Seconds(sleeping) * 1e3 / iterations;
    state.counters["ratio"] = Seconds(capturing) / Seconds(sleeping);
}

// `connect` registers the sensor's host functions with the library.
void CaptureBesideSleep(benchmark::State& state, void (*connect)()) {
    connect();
    if (KQ7SensorInit() != 1) {
        state.SkipWithError("the sensor was not identified");
        return;
    }
    TimeCapturesBesideSleep(state, nullptr, CaptureThroughExports);
}
BENCHMARK_CAPTURE(CaptureBesideSleep, virtual_sensor, ConnectVirtualSensor)
    ->Name("KQ7GetData+sleep/virtual_sensor")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
// Against the instant sensor what is left above the sleep is the library's
// own work alone.
BENCHMARK_CAPTURE(CaptureBesideSleep, instant_sensor, test::InstallInstantSensor)
    ->Name("KQ7GetData+sleep/instant_sensor")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same through the device interface, on a device of its own with no log.
void DeviceCaptureBesideSleep(benchmark::State& state) {
    test::InstallInstantSensor();
    kq7_device* device = kq7_open(test::InstantSensorWrite, test::InstantSensorRead, nullptr);
    if (device == nullptr || kq7_identify(device) != KQ7_OK) {
        state.SkipWithError("the sensor was not identified");
    } else {
        TimeCapturesBesideSleep(state, device, CaptureThroughDevice);
    }
    kq7_close(device);
}
BENCHMARK(DeviceCaptureBesideSleep)
    ->Name("kq7_capture+sleep/instant_sensor")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The virtual sensor's share of a capture: the spectrum request handed to it
// and its reply taken back in the library's 2-, 3- and 10-byte reads, without
// the library.
void VirtualSensorSpectrum(benchmark::State& state) {
    kq7sim::StartInProcess(SpectrumSensorConfig());
    const uint8_t request = 0x00;
    uint8_t frame[kTxBufferSize];
    const int32_t frameSize = PackFrame(CMD_GET_DATA, 1, &request, frame);
    static uint8_t reply[kRxBufferSize];
    for (auto _ : state) {
        kq7sim::InProcessWrite(frame, frameSize);
        int64_t held = kq7sim::InProcessRead(reply, kFirstReadSize);
        held += kq7sim::InProcessRead(reply + held, static_cast<int64_t>(kHeaderSize) - held);
        // Big-endian payload length.
        const int64_t replySize = (reply[kLengthHighOffset] << 8 | reply[kLengthLowOffset]) + kFrameOverhead;
        while (held < replySize) {
            const int64_t n = kq7sim::InProcessRead(reply + held, kBodyReadSize);
            if (n == 0) {
                state.SkipWithError("the virtual sensor's reply stopped short");
                break;
            }
            held += n;
        }
    }
}
BENCHMARK(VirtualSensorSpectrum)->Unit(benchmark::kMicrosecond);

// Every search starts again at the first probe of the search, whatever the
// previous one found.
void ExposureSearch(benchmark::State& state) {
    ConnectVirtualSensor();
    if (KQ7SensorInit() != 1) {
        state.SkipWithError("the virtual sensor was not identified");
        return;
    }
    const int percent = static_cast<int>(state.range(0));
    int shutter = 0;
    spectrumRequests = 0;
    for (auto _ : state) {
        shutter = KQ7OptSnenser(percent);
        if (shutter == 0) {
            state.SkipWithError("a capture of the search failed");
            break;
        }
    }
    state.counters["captures"] = benchmark::Counter(spectrumRequests, benchmark::Counter::kAvgIterations);
    state.counters["shutter"] = shutter;
}
BENCHMARK(ExposureSearch)->Name("KQ7OptSnenser")->Arg(90)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kq7
