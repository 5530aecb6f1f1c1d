/* SPDX-License-Identifier: MIT */
// A whole spectrum exchange against a sensor that answers at once, with the
// clock's 1 ms sleep taken out: what remains is the library's own work
// (request, 2-, 3- and 10-byte reads, resynchronisation, dump line, CRC and
// the move of the payload).
#include <benchmark/benchmark.h>

#include "api/device.h"
#include "link/clock.h"
#include "link/link.h"
#include "support/instant_sensor.h"

namespace kq7 {
namespace {

constexpr int32_t kShutter = 100;

void NoSleep() {}

void SpectrumReceive(benchmark::State& state) {
    const Clock sleepless{NoSleep, SystemClock().tickMilliseconds};
    InstallClock(&sleepless);
    test::InstallInstantSensor();
    Link& link = TheBuiltInDevice().device.link;
    for (auto _ : state) {
        if (link.SendAcquire(kShutter).length != test::kInstantSpectrumPayload) {
            state.SkipWithError("the spectrum was not received");
            break;
        }
    }
    InstallClock(nullptr);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * test::InstantSpectrumFrameSize()));
}
BENCHMARK(SpectrumReceive)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kq7
