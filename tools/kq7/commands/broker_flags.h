/* SPDX-License-Identifier: MIT */
// The options that name a broker and how to log in, the same for publish,
// record and serve --broker.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

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

}  // namespace kq7tool
