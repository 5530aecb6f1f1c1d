/* SPDX-License-Identifier: MIT */
// The fleet benchmark of docs/performance.md, one role per process:
//   kq7_fleet_load publish URL USER PASSWORD_FILE PREFIX SERIAL BANDS json|binary QOS RATE SECONDS
//     one sensor's spectra at RATE a second for SECONDS; prints its CPU seconds.
//   kq7_fleet_load receive URL USER PASSWORD_FILE PREFIX QOS SECONDS
//     listens for SECONDS; prints spectra received, missing sequence numbers,
//     and the latency from the publisher's time stamp to arrival (median, 99th percentile).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kq7/publish/publisher.h"
#include "kq7/publish/sequence_tally.h"
#include "kq7/publish/subscriber.h"
#include "load_sensor.h"

using namespace kq7publish;
using Clock = std::chrono::system_clock;

namespace {

uint64_t NowMs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

BrokerOptions Broker(char** argv) {
    BrokerOptions broker;
    std::string problem = ParseBrokerUrl(argv[2], broker);
    broker.username = argv[3];
    if (problem.empty()) {
        problem = ReadPasswordFile(argv[4], broker.password);
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::exit(2);
    }
    return broker;
}

int Publish(char** argv) {
    PublisherOptions options;
    options.broker = Broker(argv);
    options.prefix = argv[5];
    const std::string serial = argv[6];
    const int bands = std::atoi(argv[7]);
    options.format = std::string(argv[8]) == "binary" ? PayloadFormat::Binary : PayloadFormat::Json;
    options.qos = std::atoi(argv[9]);
    const double rate = std::atof(argv[10]);
    const double seconds = std::atof(argv[11]);
    Publisher publisher(options, serial, nullptr);
    StartLoadSensor(publisher, serial, bands);
    SpectrumMessage spectrum;
    spectrum.shutter = 100;
    spectrum.counts.resize(bands);
    const auto period = std::chrono::duration<double>(1.0 / rate);
    const auto start = std::chrono::steady_clock::now();
    const uint64_t count = static_cast<uint64_t>(rate * seconds);
    while (spectrum.sequence < count) {
        std::this_thread::sleep_until(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                  period * static_cast<double>(spectrum.sequence)));
        ++spectrum.sequence;
        for (int band = 0; band < bands; ++band) {
            spectrum.counts[band] = static_cast<double>((spectrum.sequence * 7 + band * 13) % 60000);
        }
        spectrum.timeMs = NowMs();
        publisher.PublishSpectrum(spectrum);
    }
    publisher.Finish(std::chrono::seconds(10));
    std::printf("%s cpu %.3f s dropped %llu\n", serial.c_str(), CpuSeconds(),
                static_cast<unsigned long long>(publisher.Stats().droppedSpectra));
    return 0;
}

int Receive(char** argv) {
    const BrokerOptions broker = Broker(argv);
    const int qos = std::atoi(argv[6]);
    const double seconds = std::atof(argv[7]);
    std::mutex mutex;
    std::map<std::string, SequenceTally> tallies;
    std::vector<int64_t> latencies;
    uint64_t received = 0;
    Subscriber subscriber(broker, argv[5], qos, [&](const SensorTopicName& topic, const std::string& payload) {
        if (topic.kind != TopicKind::Spectrum) {
            return;
        }
        const uint64_t arrived = NowMs();
        SpectrumMessage spectrum;
        if (!DecodeSpectrum(payload, spectrum).empty()) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex);
        ++received;
        tallies[topic.serial].Note(spectrum.sequence);
        latencies.push_back(static_cast<int64_t>(arrived) - static_cast<int64_t>(spectrum.timeMs));
    });
    subscriber.Start();
    std::printf("subscribed\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::lock_guard<std::mutex> lock(mutex);
    uint64_t missing = 0;
    for (const auto& entry : tallies) {
        missing += entry.second.Missing();
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double share) {
        return latencies.empty() ? -1 : latencies[static_cast<size_t>(share * (latencies.size() - 1))];
    };
    std::printf("received %llu spectra from %zu sensors, %llu missing, latency median %lld ms, p99 %lld ms\n",
                static_cast<unsigned long long>(received), tallies.size(), static_cast<unsigned long long>(missing),
                static_cast<long long>(at(0.5)), static_cast<long long>(at(0.99)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string role = argc > 1 ? argv[1] : "";
    if (role == "publish" && argc == 12) {
        return Publish(argv);
    }
    if (role == "receive" && argc == 8) {
        return Receive(argv);
    }
    std::fprintf(stderr,
                 "usage: %s publish URL USER PASSWORD_FILE PREFIX SERIAL BANDS json|binary QOS RATE SECONDS\n"
                 "       %s receive URL USER PASSWORD_FILE PREFIX QOS SECONDS\n",
                 argv[0], argv[0]);
    return 2;
}
