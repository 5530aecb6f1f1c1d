/* SPDX-License-Identifier: MIT */
#include "kq7/port/reconnecting_port.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <algorithm>
#include <utility>
#include <vector>

#include "kq7/port/sensor_finder.h"

namespace kq7tool {

namespace {

// What tells one device under `path` from the next one there: a replug
// makes a new device node and a new symbolic link. Windows: the name alone,
// until the port leaves the listing.
std::string DeviceUnder(const std::string& path) {
#if defined(_WIN32)
    return path;
#else
    struct stat link {};
    struct stat device {};
    if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &device) != 0) {
        return "";
    }
    return std::to_string(link.st_ino) + ":" + std::to_string(link.st_mtim.tv_nsec) + ":" +
           std::to_string(device.st_rdev) + ":" + std::to_string(device.st_ctim.tv_sec) + "." +
           std::to_string(device.st_ctim.tv_nsec);
#endif
}

bool Exists(const std::string& path) {
#if defined(_WIN32)
    (void)path;
    return true;
#else
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
#endif
}

// The name under which the listing knows `path`'s port for good.
std::string StableNameOf(const std::string& path, const std::vector<ListedPort>& listed) {
    for (const ListedPort& port : listed) {
        if (port.path == path || port.stableName == path) {
            return port.stableName;
        }
    }
    return "";
}

}  // namespace

ReconnectingPort::ReconnectingPort(std::string path, int baud)
    : path_(std::move(path)), baud_(baud), port_(std::make_unique<SerialPort>(path_, baud_)), openPath_(path_) {
    stableName_ = StableNameOf(path_, ListSerialPorts());
}

int64_t ReconnectingPort::Write(const uint8_t* data, int64_t length) {
    return port_ ? port_->Write(data, length) : -1;
}

int64_t ReconnectingPort::Read(uint8_t* dest, int64_t maxLength) { return port_ ? port_->Read(dest, maxLength) : -1; }

std::string ReconnectingPort::Error() const { return port_ ? port_->Error() : "the port is closed"; }

void ReconnectingPort::Drop() { port_.reset(); }

bool ReconnectingPort::Open(const std::string& path) {
    try {
        port_ = std::make_unique<SerialPort>(path, baud_);
        openPath_ = path;
        return true;
    } catch (const PortOpenFailure&) {
        return false;
    }
}

bool ReconnectingPort::KnownOther(const std::string& path) const {
    const auto other = others_.find(path);
    return other != others_.end() && other->second == DeviceUnder(path);
}

bool ReconnectingPort::Search(const std::string& serial) {
    Drop();
    // The names the sensor was known by come back first and cost no probe.
    for (const std::string& name : {stableName_, path_}) {
        if (!name.empty() && Exists(name) && !KnownOther(name) && Open(name)) {
            return true;
        }
    }
    if (serial.empty() || cancelled_) {
        return false;
    }
    std::vector<std::string> candidates = CandidatePorts(ListSerialPorts(), false);
    // A port that left the listing may come back as another device.
    for (auto other = others_.begin(); other != others_.end();) {
        const bool named = other->first == path_ || other->first == stableName_;
        const bool listed = std::find(candidates.begin(), candidates.end(), other->first) != candidates.end();
        other = named || listed ? std::next(other) : others_.erase(other);
    }
    candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                    [this](const std::string& path) {
                                        return path == path_ || path == stableName_ || KnownOther(path);
                                    }),
                     candidates.end());
    for (const ProbeResult& probe : ProbePorts(candidates, baud_, kProbeLimit, &cancelled_)) {
        const bool sensor = probe.outcome == ProbeOutcome::Sensor;
        if (sensor && probe.sensor.serial == serial && Open(probe.port)) {
            return true;
        }
        if (sensor || probe.outcome == ProbeOutcome::NotASensor || probe.outcome == ProbeOutcome::NotASerialPort) {
            others_[probe.port] = DeviceUnder(probe.port);
        }
    }
    return false;
}

std::string ReconnectingPort::Refuse() {
    others_[openPath_] = DeviceUnder(openPath_);
    Drop();
    return openPath_;
}

}  // namespace kq7tool
