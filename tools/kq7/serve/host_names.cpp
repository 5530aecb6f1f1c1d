/* SPDX-License-Identifier: MIT */
#include "kq7/serve/host_names.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace kq7serve {

namespace {

// Browsers leave this port out of Host.
constexpr int kHttpDefaultPort = 80;

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsWildcard(const std::string& host) { return host == "0.0.0.0" || host == "::"; }

std::string ComputerName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

// The numeric addresses of the interfaces that are up, loopback ones last.
std::vector<std::string> InterfaceAddresses() {
    std::vector<std::string> outside;
    std::vector<std::string> loopback;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return outside;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const sockaddr* address = entry->ifa_addr;
        if (address == nullptr || (address->sa_family != AF_INET && address->sa_family != AF_INET6)) {
            continue;
        }
        const socklen_t length = address->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        char text[NI_MAXHOST];
        if (getnameinfo(address, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) {
            continue;
        }
        // A link-local IPv6 address carries its interface ("%eth0"), which
        // no Host header names.
        std::string name(text);
        name = name.substr(0, name.find('%'));
        (IsLoopback(name) ? loopback : outside).push_back(name);
    }
    freeifaddrs(list);
    outside.insert(outside.end(), loopback.begin(), loopback.end());
    return outside;
}

}  // namespace

std::vector<std::string> HostNamesFor(const ListenAddress& address, const std::vector<std::string>& more) {
    std::vector<std::string> names{"localhost", "127.0.0.1", "::1", address.host};
    if (!IsLoopback(address.host)) {
        const std::string computer = ComputerName();
        if (!computer.empty()) {
            names.push_back(computer);
        }
        const std::vector<std::string> addresses = InterfaceAddresses();
        names.insert(names.end(), addresses.begin(), addresses.end());
    }
    names.insert(names.end(), more.begin(), more.end());
    return names;
}

bool HostHeaderAllowed(const std::string& header, const std::vector<std::string>& names, int port) {
    const std::string wanted = Lowercase(header);
    for (const std::string& name : names) {
        const std::string withPort = Lowercase(HostPort(name, port));
        if (wanted == withPort) {
            return true;
        }
        // "host:80" without its port.
        if (port == kHttpDefaultPort && wanted == withPort.substr(0, withPort.rfind(':'))) {
            return true;
        }
    }
    return false;
}

std::string ReachableHost(const std::string& host) {
    if (!IsWildcard(host)) {
        return host;
    }
    const std::vector<std::string> addresses = InterfaceAddresses();
    const auto outside = std::find_if(addresses.begin(), addresses.end(), [](const std::string& address) {
        return !IsLoopback(address) && address.rfind("fe80:", 0) != 0;
    });
    if (outside != addresses.end()) {
        return *outside;
    }
    const std::string computer = ComputerName();
    return computer.empty() ? "localhost" : computer;
}

}  // namespace kq7serve
