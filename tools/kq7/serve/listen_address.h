/* SPDX-License-Identifier: MIT */
// The --listen argument of kq7 serve.
#pragma once

#include <optional>
#include <string>

namespace kq7serve {

struct ListenAddress {
    std::string host;  // IPv6 without brackets
    int port = 0;      // 0: any free port
};

// "HOST:PORT", "[IPV6]:PORT"; nullopt when it is not that or the port is
// outside 0..65535.
std::optional<ListenAddress> ParseListenAddress(const std::string& text);

// Whether only this computer can reach `host`: localhost, 127.0.0.0/8, ::1.
bool IsLoopback(const std::string& host);

// "127.0.0.1:8477", "[::1]:8477": the host and port as a URL writes them.
std::string HostPort(const std::string& host, int port);

}  // namespace kq7serve
