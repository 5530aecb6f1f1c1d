/* SPDX-License-Identifier: MIT */
// The options that name a broker and how to log in, the same for publish,
// record and serve --broker.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <utility>

#include "kq7/publish/broker_client.h"
#include "kq7/publish/broker_options.h"

namespace kq7tool {

struct BrokerFlags {
    std::string url;  // empty: none given
    std::string cafile;
    std::string username;
    std::string passwordFile;
};

// --broker (required or not), --cafile, --username, --password-file.
void AddBrokerFlags(CLI::App& command, BrokerFlags& flags, bool required);

// The options for the client; throws Failure (command line) when they cannot work.
kq7publish::BrokerOptions ReadBrokerFlags(const BrokerFlags& flags);

// Tells about the connection as it goes, each new problem once, on the
// diagnostics path as `who`; throws Failure once the broker refused for good.
class ConnectionWatch {
public:
    explicit ConnectionWatch(std::string who) : who_(std::move(who)) {}
    void Look(const kq7publish::ConnectionReport& report);

private:
    const std::string who_;
    std::string problem_;
    bool connected_ = false;
};

}  // namespace kq7tool
