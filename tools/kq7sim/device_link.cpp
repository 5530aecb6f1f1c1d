/* SPDX-License-Identifier: MIT */
#include "kq7sim/device_link.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

namespace kq7sim {

DeviceLink::DeviceLink(const std::string& target, std::string link) : target_(target), link_(std::move(link)) {
    // rename() replaces the old link atomically; the new one is made beside
    // it under a name of this process, so that it lands on the same file system.
    const std::string temporary = link_ + ".kq7sim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target_.c_str(), temporary.c_str()) != 0) {
        throw std::system_error(errno, std::generic_category(), "symlink " + temporary);
    }
    if (rename(temporary.c_str(), link_.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        throw std::system_error(error, std::generic_category(), "rename to " + link_);
    }
}

DeviceLink::~DeviceLink() {
    std::vector<char> pointsTo(target_.size() + 2);
    const ssize_t length = readlink(link_.c_str(), pointsTo.data(), pointsTo.size());
    if (length >= 0 && std::string(pointsTo.data(), static_cast<size_t>(length)) == target_) {
        unlink(link_.c_str());
    }
}

}  // namespace kq7sim
