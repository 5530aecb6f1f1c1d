/* SPDX-License-Identifier: MIT */
#include "kq7/serve/listen_address.h"

#include <arpa/inet.h>

#include <cstdint>

namespace kq7serve {

namespace {

constexpr int kMaxPort = 65535;

std::optional<int> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    return port <= kMaxPort ? std::optional<int>(port) : std::nullopt;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(const std::string& text) {
    std::string host;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find("]:");
        if (close == std::string::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) {
            return std::nullopt;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    const std::optional<int> number = ParsePort(port);
    if (host.empty() || !number) {
        return std::nullopt;
    }
    return ListenAddress{host, *number};
}

bool IsLoopback(const std::string& host) {
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        // s_addr is in network byte order: the first byte of the address is 127.
        return reinterpret_cast<const uint8_t*>(&v4.s_addr)[0] == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string HostPort(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace kq7serve
