/* SPDX-License-Identifier: MIT */
// kq7 record: every sensor on the broker (or those named) into stream CSV
// or HDF5/NeXus files, one per sensor, until Ctrl-C. At QoS 1 under a fixed
// client id with a kept session, the broker holds what comes while the
// recorder is away.
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kq7/commands/broker_flags.h"
#include "kq7/commands/command.h"
#include "kq7/console.h"
#include "kq7/diagnostics.h"
#include "kq7/failure.h"
#include "kq7/formats/file_format.h"
#include "kq7/interrupt.h"
#include "kq7/output_paths.h"
#include "kq7/publish/publish_limits.h"
#include "kq7/publish/recorder.h"
#include "kq7/publish/subscriber.h"
#include "kq7/publish/topics.h"

namespace kq7tool {

namespace {

constexpr std::chrono::milliseconds kPoll{100};
constexpr const char* kDefaultClientId = "kq7-record";

struct RecordOptions {
    BrokerFlags broker;
    std::string prefix = kq7publish::kDefaultPrefix;
    std::string folder;
    std::string format = "csv";
    std::vector<std::string> sensors;
    std::string clientId = kDefaultClientId;
};

std::string SummaryLine(const kq7publish::RecordedSensor& sensor) {
    std::string line = sensor.serial + ": " + std::to_string(sensor.rows) + " spectra in " +
                       std::to_string(sensor.files.size()) + (sensor.files.size() == 1 ? " file" : " files");
    line += ", " + std::to_string(sensor.missing) + " missing, " + std::to_string(sensor.duplicates) + " repeated";
    for (const std::string& file : sensor.files) {
        line += "\n  " + file;
    }
    return line + "\n";
}

void RunRecord(const RecordOptions& options) {
    kq7publish::BrokerOptions broker = ReadBrokerFlags(options.broker);
    broker.clientId = options.clientId;
    broker.cleanSession = false;
    const std::string prefixProblem = kq7publish::CheckPrefix(options.prefix);
    if (!prefixProblem.empty()) {
        throw Failure(kExitUsage, "--topic: " + prefixProblem);
    }
    std::set<std::string> wanted;
    for (const std::string& serial : options.sensors) {
        wanted.insert(kq7publish::TopicLevel(serial));
    }
    kq7publish::Recorder recorder(options.folder, wanted,
                                  options.format == "h5" ? FileFormat::Nexus : FileFormat::Csv);
    std::mutex warnedMutex;
    std::set<std::string> warned;  // one warning per sensor and reason
    kq7publish::Subscriber subscriber(broker, options.prefix, 1, [&](const kq7publish::SensorTopicName& topic,
                                                                    const std::string& payload) {
        const std::string problem = recorder.Take(topic, payload);
        std::lock_guard<std::mutex> lock(warnedMutex);
        if (!problem.empty() && warned.insert(topic.serial + problem).second) {
            SayWarning("not recorded from " + topic.serial + ": " + problem);
        }
    });
    subscriber.Start();
    Say("kq7 record: recording into " + options.folder + "\n");
    ConnectionWatch watch("kq7 record");
    while (!Interrupted()) {
        std::this_thread::sleep_for(kPoll);
        watch.Look(subscriber.Report());
    }
    std::string summary;
    for (const kq7publish::RecordedSensor& sensor : recorder.Summary()) {
        summary += SummaryLine(sensor);
    }
    WriteData(summary.empty() ? "kq7 record: nothing recorded\n" : summary);
}

}  // namespace

void AddRecord(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<RecordOptions>();
    CLI::App* command = app.add_subcommand(
        "record",
        "Record the spectra of every sensor on an MQTT broker into CSV or HDF5 files, one per sensor, until Ctrl-C");
    AddBrokerFlags(*command, options->broker, true);
    command->add_option("--topic", options->prefix, "First topic levels (default kq7)");
    command->add_option("-o,--output", options->folder, "Folder of the files")
        ->required()
        ->check(CLI::ExistingDirectory);
    command->add_option("--format", options->format, "Files: csv (default) or h5 (HDF5 laid out by the NeXus rules)")
        ->check(CLI::IsMember({"csv", "h5"}));
    command->add_option("--sensor", options->sensors, "Record only this serial number (repeatable)");
    command->add_option("--client-id", options->clientId,
                        "Client id on the broker (default kq7-record): the broker keeps what comes while it is away");
    command->callback([&chosen, options] { chosen.runAlone = [options] { RunRecord(*options); }; });
}

}  // namespace kq7tool
