/* SPDX-License-Identifier: MIT */
// The host names kq7 serve answers to. A request whose Host header names
// anything else is refused: that is what keeps a web page from reaching the
// server through a DNS name of its own rebound to this computer's address.
#pragma once

#include <string>
#include <vector>

#include "kq7/serve/listen_address.h"

namespace kq7serve {

// The loopback names and the listen address; for an address other than
// loopback also this computer's name and the addresses of its interfaces;
// and `more` (--allow-host).
std::vector<std::string> HostNamesFor(const ListenAddress& address, const std::vector<std::string>& more);

// Whether `header` ("name:port", "[v6]:port", or without the port when it is
// HTTP's default, as browsers send it) names one of `names` at `port`.
// Names compare without regard to case.
bool HostHeaderAllowed(const std::string& header, const std::vector<std::string>& names, int port);

// The host for the URL to print: the listen address, or for a wildcard
// (0.0.0.0, ::) an address of an interface, else this computer's name.
std::string ReachableHost(const std::string& host);

}  // namespace kq7serve
