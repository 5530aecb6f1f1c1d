/* SPDX-License-Identifier: MIT */
// How many spectra a second one publisher hands to a broker: COUNT spectra,
// each as soon as its queue takes it without dropping one, until all are delivered.
//   kq7_publish_load URL USER PASSWORD_FILE PREFIX BANDS json|binary QOS COUNT [CAFILE]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "kq7/publish/publisher.h"
#include "load_sensor.h"

using namespace kq7publish;

int main(int argc, char** argv) {
    if (argc != 9 && argc != 10) {
        std::fprintf(stderr, "usage: %s URL USER PASSWORD_FILE PREFIX BANDS json|binary QOS COUNT [CAFILE]\n", argv[0]);
        return 2;
    }
    PublisherOptions options;
    std::string problem = ParseBrokerUrl(argv[1], options.broker);
    options.broker.username = argv[2];
    options.broker.cafile = argc == 10 ? argv[9] : "";
    if (problem.empty()) {
        problem = ReadPasswordFile(argv[3], options.broker.password);
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    options.prefix = argv[4];
    const int bands = std::atoi(argv[5]);
    options.format = std::string(argv[6]) == "binary" ? PayloadFormat::Binary : PayloadFormat::Json;
    options.qos = std::atoi(argv[7]);
    const uint64_t count = std::strtoull(argv[8], nullptr, 10);

    Publisher publisher(options, "LOAD1", nullptr);
    StartLoadSensor(publisher, "LOAD1", bands);

    SpectrumMessage spectrum;
    spectrum.shutter = 100;
    spectrum.counts.resize(bands);
    const auto start = std::chrono::steady_clock::now();
    while (spectrum.sequence < count) {
        if (publisher.Stats().queuedSpectra > options.queueCapacity / 2) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        ++spectrum.sequence;
        spectrum.timeMs = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                    std::chrono::system_clock::now().time_since_epoch())
                                                    .count());
        for (int band = 0; band < bands; ++band) {
            spectrum.counts[band] = static_cast<double>((spectrum.sequence * 7 + band * 13) % 60000);
        }
        publisher.PublishSpectrum(spectrum);
    }
    const bool finished = publisher.Finish(std::chrono::seconds(30));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const PublisherStats stats = publisher.Stats();
    const size_t bytes = EncodeSpectrum(spectrum, options.format).size();
    std::printf("%llu spectra of %d bands, %s (%zu bytes each), QoS %d: %.0f spectra/s delivered, %.1f MB/s, "
                "%llu dropped%s\n",
                static_cast<unsigned long long>(spectrum.sequence), bands, argv[6], bytes, options.qos,
                spectrum.sequence / seconds, spectrum.sequence * bytes / seconds / 1e6,
                static_cast<unsigned long long>(stats.droppedSpectra), finished ? "" : ", NOT all delivered");
    return finished && stats.droppedSpectra == 0 ? 0 : 1;
}
