/* SPDX-License-Identifier: MIT */
#include "kq7/commands/broker_flags.h"

#include "kq7/diagnostics.h"
#include "kq7/failure.h"

namespace kq7tool {

void AddBrokerFlags(CLI::App& command, BrokerFlags& flags, bool required) {
    CLI::Option* broker =
        command.add_option("--broker", flags.url, "The MQTT broker: mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (TLS)");
    broker->required(required);
    command.add_option("--cafile", flags.cafile, "With mqtts: the CA certificates (PEM) that may sign the broker's")
        ->check(CLI::ExistingFile);
    CLI::Option* username = command.add_option("--username", flags.username, "User name on the broker");
    command.add_option("--password-file", flags.passwordFile, "File whose first line is the password")
        ->needs(username)
        ->check(CLI::ExistingFile);
}

kq7publish::BrokerOptions ReadBrokerFlags(const BrokerFlags& flags) {
    kq7publish::BrokerOptions options;
    std::string problem = kq7publish::ParseBrokerUrl(flags.url, options);
    if (problem.empty() && !options.tls && !flags.cafile.empty()) {
        problem = "--cafile is for an mqtts:// broker";
    }
    if (problem.empty() && !flags.passwordFile.empty()) {
        problem = kq7publish::ReadPasswordFile(flags.passwordFile, options.password);
    }
    if (!problem.empty()) {
        throw Failure(kExitUsage, problem);
    }
    options.cafile = flags.cafile;
    options.username = flags.username;
    return options;
}

void ConnectionWatch::Look(const kq7publish::ConnectionReport& report) {
    if (report.refused) {
        throw Failure(kExitFailure, report.problem);
    }
    if (!report.problem.empty() && report.problem != problem_) {
        SayWarning("broker: " + report.problem + " (trying again)");
    }
    if (report.connected && !connected_) {
        Say(who_ + ": connected to the broker" + std::string(report.connections > 1 ? " again" : "") + "\n");
    }
    problem_ = report.problem;
    connected_ = report.connected;
}

}  // namespace kq7tool
