/* SPDX-License-Identifier: MIT */
// Where the broker is and how to log in: mqtt://HOST[:PORT] or
// mqtts://HOST[:PORT] (TLS, checked against a CA file), a user name and a
// password read from a file, never from the command line.
#pragma once

#include <string>

namespace kq7publish {

struct BrokerOptions {
    bool tls = false;
    std::string host;
    int port = 0;
    std::string cafile;  // mqtts: the certificates that may sign the broker's
    std::string username;
    std::string password;
    std::string clientId;      // empty: the library makes one up
    bool cleanSession = true;  // false: the broker keeps QoS 1 messages for us while we are away
};

// Reads `url` into tls, host and port. Empty when it could, else the reason.
std::string ParseBrokerUrl(const std::string& url, BrokerOptions& options);

// The first line of `path`, without its line end. Empty when it could,
// else the reason (unreadable, or no password in it).
std::string ReadPasswordFile(const std::string& path, std::string& password);

bool IsLoopbackHost(const std::string& host);

// Settings may come over the broker only from a broker that checks who
// sends them or that no other machine can reach. Empty when allowed, else why not.
std::string SettingsRefusal(const BrokerOptions& options);

}  // namespace kq7publish
