/* SPDX-License-Identifier: MIT */
#include "kq7/port/port_list.h"

namespace kq7tool {

namespace {

#if defined(_WIN32)
constexpr char kPortSeparator = ';';
#else
constexpr char kPortSeparator = ':';
#endif

}  // namespace

const char* PortKindName(PortKind kind) {
    switch (kind) {
    case PortKind::UsbAdapter:
        return "usb";
    case PortKind::Acm:
        return "acm";
    case PortKind::Other:
        break;
    }
    return "other";
}

bool IsLikelySensorPort(const ListedPort& port) { return port.kind != PortKind::Other; }

std::vector<std::string> PortsNamedIn(const char* value) {
    std::vector<std::string> ports;
    if (value == nullptr) {
        return ports;
    }
    std::string entry;
    for (const char* c = value;; ++c) {
        if (*c == kPortSeparator || *c == '\0') {
            if (!entry.empty()) {
                ports.push_back(entry);
            }
            entry.clear();
            if (*c == '\0') {
                return ports;
            }
        } else {
            entry += *c;
        }
    }
}

}  // namespace kq7tool
