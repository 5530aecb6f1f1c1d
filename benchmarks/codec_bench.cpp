/* SPDX-License-Identifier: MIT */
// The frame codec on its own: the CRC, building a request, and finding and
// checking a spectrum frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "crc16.h"
#include "frame_codec.h"
#include "frame_format.h"
#include "link/link.h"
#include "support/instant_sensor.h"

namespace kq7 {
namespace {

// The payload of the spectrum frame: what a spectrum receive checks.
const uint8_t* SpectrumPayload() {
    test::InstallInstantSensor();
    return test::InstantSpectrumFrame() + kPayloadOffset;
}

void Crc16OfSpectrum(benchmark::State& state) {
    const uint8_t* payload = SpectrumPayload();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc16(payload, test::kInstantSpectrumPayload));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * test::kInstantSpectrumPayload);
}
BENCHMARK(Crc16OfSpectrum)->Name("Crc16");

// Arguments: the payload of a spectrum request (1), of a shutter value (4),
// and the largest request that fits TxBuffer.
void PackRequest(benchmark::State& state) {
    const uint16_t length = static_cast<uint16_t>(state.range(0));
    const uint8_t* payload = SpectrumPayload();
    uint8_t out[kTxBufferSize];
    for (auto _ : state) {
        benchmark::DoNotOptimize(PackFrame(CMD_SET_COEFF, length, payload, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(PackRequest)->Name("PackFrame")->Arg(1)->Arg(4)->Arg(kMaxRequestPayload);

// The frame stays in place: the payload goes to a buffer of its own, where
// the transport moves it to the start of RxBuffer.
void FindAndUnpackSpectrum(benchmark::State& state) {
    SpectrumPayload();
    static uint8_t frame[kRxBufferSize];
    static uint8_t payload[kRxBufferSize];
    const uint16_t size = static_cast<uint16_t>(test::InstantSpectrumFrameSize());
    std::memcpy(frame, test::InstantSpectrumFrame(), size);
    for (auto _ : state) {
        const int32_t held = FindFrameStart(frame, size);
        benchmark::DoNotOptimize(UnpackReply(frame, static_cast<uint16_t>(held), CMD_GET_DATA, payload));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FindAndUnpackSpectrum)->Name("FindFrameStart+UnpackReply");

}  // namespace
}  // namespace kq7
