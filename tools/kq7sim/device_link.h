/* SPDX-License-Identifier: MIT */
// A symbolic link to the pseudo-terminal, as udev keeps one in
// /dev/serial/by-id for an adapter: a host finds the sensor under the same
// name after kq7sim is stopped and started again ("unplugged and replugged").
#pragma once

#include <string>

namespace kq7sim {

class DeviceLink {
public:
    // Points `link` at `target`, replacing whatever `link` was, in one step:
    // a host never sees it missing or half made. Throws std::system_error.
    DeviceLink(const std::string& target, std::string link);
    // Removes the link unless another kq7sim has taken it over since.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

private:
    std::string target_;
    std::string link_;
};

}  // namespace kq7sim
