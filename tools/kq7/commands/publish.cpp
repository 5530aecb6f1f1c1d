/* SPDX-License-Identifier: MIT */
// kq7 publish: the sensor's spectra, info and status on an MQTT broker until
// Ctrl-C; the acquisition engine captures, retrying a sensor that stops
// answering, and the publisher never lets the network hold it up.
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "kq7/acquisition/engine.h"
#include "kq7/commands/broker_flags.h"
#include "kq7/commands/command.h"
#include "kq7/diagnostics.h"
#include "kq7/failure.h"
#include "kq7/interrupt.h"
#include "kq7/publish/publish_sink.h"
#include "kq7/publish/topics.h"
#include "options/numbers.h"

namespace kq7tool {

namespace {

constexpr std::chrono::milliseconds kPoll{100};
constexpr std::chrono::milliseconds kRetryPause{1000};
// On the way out: "offline" and what is still queued, if the broker takes them by then.
constexpr std::chrono::milliseconds kFinishWait{2000};

struct PublishOptions {
    BrokerFlags broker;
    std::string prefix = kq7publish::kDefaultPrefix;
    int shutter = 0;
    int autoPercent = 0;
    int average = 1;
    double intervalSeconds = 0;
    int qos = 0;
    std::string payload = "json";
    bool acceptSettings = false;
};

kq7publish::PublisherOptions PublisherOptionsFrom(const PublishOptions& options) {
    kq7publish::PublisherOptions publisher;
    publisher.broker = ReadBrokerFlags(options.broker);
    publisher.prefix = options.prefix;
    publisher.qos = options.qos;
    publisher.format = options.payload == "binary" ? kq7publish::PayloadFormat::Binary : kq7publish::PayloadFormat::Json;
    publisher.acceptSettings = options.acceptSettings;
    const std::string prefixProblem = kq7publish::CheckPrefix(options.prefix);
    if (!prefixProblem.empty()) {
        throw Failure(kExitUsage, "--topic: " + prefixProblem);
    }
    if (options.acceptSettings) {
        const std::string refusal = kq7publish::SettingsRefusal(publisher.broker);
        if (!refusal.empty()) {
            throw Failure(kExitUsage, "--accept-settings refused: " + refusal);
        }
    }
    return publisher;
}

void RunPublish(Sensor& sensor, const PublishOptions& options) {
    const kq7publish::PublisherOptions publisherOptions = PublisherOptionsFrom(options);
    sensor.ShowWaits(false);
    Settings settings;
    settings.shutter = options.shutter > 0 ? options.shutter : 1;
    settings.average = options.average;
    Pacing pacing;
    pacing.interval = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(options.intervalSeconds));
    pacing.retry = true;
    pacing.retryPause = kRetryPause;
    Engine engine(sensor, settings, pacing);
    kq7publish::PublishSink sink(publisherOptions, sensor.Place(), engine);
    engine.AddSink(sink);
    engine.Start();
    if (options.autoPercent > 0) {
        engine.SearchExposure(options.autoPercent);
    }
    ConnectionWatch watch("kq7 publish");
    try {
        while (!Interrupted()) {
            std::this_thread::sleep_for(kPoll);
            if (const auto publisher = sink.Current()) {
                watch.Look(publisher->Stats().connection);
            }
        }
    } catch (const Failure&) {
        engine.Stop();
        throw;
    }
    engine.Stop();
    const auto publisher = sink.Current();
    if (!publisher) {
        throw Failure(kExitInterrupted, "interrupted before the sensor answered");
    }
    const bool finished = publisher->Finish(kFinishWait);
    const kq7publish::PublisherStats stats = publisher->Stats();
    Say("kq7 publish: " + std::to_string(sink.Published()) + " spectra published, " +
        std::to_string(stats.droppedSpectra) + " dropped by the full queue" +
        (finished ? "" : ", " + std::to_string(stats.queuedSpectra) + " left undelivered") + "\n");
}

}  // namespace

void AddPublish(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<PublishOptions>();
    CLI::App* command =
        app.add_subcommand("publish", "Publish the sensor's spectra, info and status on an MQTT broker until Ctrl-C");
    AddBrokerFlags(*command, options->broker, true);
    command->add_option("--topic", options->prefix, "First topic levels (default kq7): PREFIX/SERIAL/...");
    CLI::Option* shutter =
        command->add_option("--shutter", options->shutter, "Shutter value")->check(kq7options::WholeNumberIn(1, 1000000));
    CLI::Option* automatic =
        command->add_option("--auto", options->autoPercent, "Search the shutter value for a peak at PERCENT of full scale")
            ->check(kq7options::WholeNumberIn(1, 100));
    shutter->excludes(automatic);
    command->add_option("--average", options->average, "Captures averaged into each spectrum")
        ->check(kq7options::WholeNumberIn(1, 100));
    command->add_option("--interval", options->intervalSeconds, "Seconds from the start of one capture to the next")
        ->check(kq7options::DecimalNumberIn(0.0, 86400.0));
    command->add_option("--qos", options->qos, "MQTT quality of service of the spectra: 0 or 1 (default 0)")
        ->check(kq7options::WholeNumberIn(0, 1));
    command->add_option("--payload", options->payload, "Spectrum payload: json (default) or binary")
        ->check(CLI::IsMember({"json", "binary"}));
    command->add_flag("--accept-settings", options->acceptSettings,
                      "Take settings from PREFIX/SERIAL/set (needs --username or a broker on loopback)");
    command->callback([command, &chosen, options] {
        if (command->count("--shutter") == 0 && command->count("--auto") == 0) {
            throw CLI::RequiredError("--shutter N or --auto PERCENT");
        }
        chosen.run = [options](Sensor& sensor) { RunPublish(sensor, *options); };
    });
}

}  // namespace kq7tool
