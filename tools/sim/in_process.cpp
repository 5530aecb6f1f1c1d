/* SPDX-License-Identifier: MIT */
#include "sim/in_process.h"

#include <chrono>
#include <memory>

#include "sim/outbox.h"

namespace kq7sim {

namespace {

struct InProcessLink {
    explicit InProcessLink(const SimConfig& config) : sensor(config), outbox(PacingFor(config, 0)) {}
    VirtualSensor sensor;
    Outbox outbox;
};

std::unique_ptr<InProcessLink> g_link;

int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void StartInProcess(const SimConfig& config) { g_link = std::make_unique<InProcessLink>(config); }

void UseInProcessLightSource(LightSource source) {
    SimConfig config = g_link->sensor.Config();
    config.source = source;
    StartInProcess(config);
}

const VirtualSensor& InProcessSensor() { return g_link->sensor; }

int64_t KQ7_CALL InProcessWrite(const uint8_t* data, int64_t length) {
    if (g_link == nullptr || data == nullptr || length <= 0) {
        return 0;
    }
    g_link->outbox.Push(g_link->sensor.Feed(data, static_cast<size_t>(length)), NowUs());
    return length;
}

int64_t KQ7_CALL InProcessRead(uint8_t* dest, int64_t maxLength) {
    if (g_link == nullptr || dest == nullptr || maxLength <= 0) {
        return 0;
    }
    return static_cast<int64_t>(g_link->outbox.Take(dest, static_cast<size_t>(maxLength), NowUs()));
}

}  // namespace kq7sim
