/* SPDX-License-Identifier: MIT */
#include "kq7/serve/fleet_control.h"

#include "kq7/publish/settings_request.h"
#include "kq7/publish/topics.h"

namespace kq7serve {

FleetControl::FleetControl(const kq7publish::BrokerOptions& options, std::string prefix)
    : prefix_(std::move(prefix)) {
    kq7publish::BrokerEvents events;
    events.connected = [this] { client_->Subscribe(prefix_ + "/+/set/result", 1); };
    events.message = [this](const std::string& topic, const std::string& payload) {
        const auto name = kq7publish::ParseSensorTopic(prefix_, topic);
        if (name && name->kind == kq7publish::TopicKind::SetResult) {
            OnResult(payload);
        }
    };
    client_ = std::make_unique<kq7publish::BrokerClient>(options, nullptr, std::move(events));
}

void FleetControl::OnResult(const std::string& payload) {
    std::string requestId;
    std::string reason;
    if (!kq7publish::DecodeSettingsResult(payload, requestId, reason).empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    results_[requestId] = reason;
    answered_.notify_all();
}

std::string FleetControl::Request(const std::string& serial, kq7publish::SettingsRequest request,
                                  std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    request.requestId = "kq7-serve-" + std::to_string(nextId_++);
    const std::string id = request.requestId;
    if (!client_->Publish(kq7publish::SensorTopic(prefix_, serial, kq7publish::TopicKind::Set),
                          kq7publish::EncodeSettingsRequest(request), 1, false)) {
        return "not connected to the broker";
    }
    if (!answered_.wait_for(lock, wait, [&] { return results_.count(id) > 0; })) {
        return "no answer from the publisher of " + serial + " within " + std::to_string(wait.count() / 1000) + " s";
    }
    const std::string reason = results_[id];
    results_.erase(id);
    return reason.empty() ? "" : "the publisher refused: " + reason;
}

}  // namespace kq7serve
