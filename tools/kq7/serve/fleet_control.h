/* SPDX-License-Identifier: MIT */
// kq7 serve --broker's requests to the publishers: a settings request on
// PREFIX/SERIAL/set, and its answer from PREFIX/SERIAL/set/result.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "kq7/publish/broker_client.h"
#include "kq7/publish/settings_request.h"

namespace kq7serve {

class FleetControl {
public:
    FleetControl(const kq7publish::BrokerOptions& options, std::string prefix);
    void Start() { client_->Start(); }

    // Sends `request` (its id made here) to sensor `serial` and waits up to
    // `wait` for its result. Empty when accepted, else the reason: the
    // publisher's, or that none answered.
    std::string Request(const std::string& serial, kq7publish::SettingsRequest request,
                        std::chrono::milliseconds wait);

private:
    void OnResult(const std::string& payload);

    const std::string prefix_;
    std::unique_ptr<kq7publish::BrokerClient> client_;
    std::mutex mutex_;
    std::condition_variable answered_;
    uint64_t nextId_ = 1;
    std::map<std::string, std::string> results_;  // request id -> reason, until taken
};

}  // namespace kq7serve
