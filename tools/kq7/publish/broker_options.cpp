/* SPDX-License-Identifier: MIT */
#include "kq7/publish/broker_options.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "kq7/publish/publish_limits.h"

namespace kq7publish {

std::string ParseBrokerUrl(const std::string& url, BrokerOptions& options) {
    const std::string plain = "mqtt://";
    const std::string secure = "mqtts://";
    std::string rest;
    if (url.compare(0, plain.size(), plain) == 0) {
        options.tls = false;
        rest = url.substr(plain.size());
    } else if (url.compare(0, secure.size(), secure) == 0) {
        options.tls = true;
        rest = url.substr(secure.size());
    } else {
        return "the broker \"" + url + "\" is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    std::string portText;
    if (!rest.empty() && rest.front() == '[') {  // [IPv6 address]
        const size_t close = rest.find(']');
        if (close == std::string::npos) {
            return "the broker \"" + url + "\" opens a [ it does not close";
        }
        options.host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return "the broker \"" + url + "\" has something else than a port after its address";
        }
        portText = rest.empty() ? "" : rest.substr(1);
    } else {
        const size_t colon = rest.find(':');
        options.host = rest.substr(0, colon);
        portText = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
    if (options.host.empty() || options.host.find_first_of("/@?#") != std::string::npos) {
        return "the broker \"" + url + "\" names no host";
    }
    options.port = options.tls ? kDefaultTlsPort : kDefaultPort;
    if (!portText.empty() || url.back() == ':') {
        const bool digits = !portText.empty() && portText.size() <= 5 &&
                            portText.find_first_not_of("0123456789") == std::string::npos;
        options.port = digits ? std::stoi(portText) : 0;
        if (options.port < 1 || options.port > 65535) {
            return "the broker \"" + url + "\" has no port in 1..65535";
        }
    }
    return "";
}

std::string ReadPasswordFile(const std::string& path, std::string& password) {
    std::ifstream file(path);
    if (!file) {
        return "cannot read the password file " + path + ": " + std::strerror(errno);
    }
    std::getline(file, password);
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    if (password.empty()) {
        return "the password file " + path + " has no password on its first line";
    }
    return "";
}

bool IsLoopbackHost(const std::string& host) {
    return host == "localhost" || host == "::1" || host.compare(0, 4, "127.") == 0;
}

std::string SettingsRefusal(const BrokerOptions& options) {
    if (!options.username.empty() || IsLoopbackHost(options.host)) {
        return "";
    }
    return "settings over the broker need a user name and password, or a broker on this machine (" + options.host +
           " is neither)";
}

}  // namespace kq7publish
