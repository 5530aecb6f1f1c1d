/* SPDX-License-Identifier: MIT */
#include "kq7/publish/subscriber.h"

namespace kq7publish {

Subscriber::Subscriber(const BrokerOptions& options, const std::string& prefix, int qos, FleetHandler onMessage)
    : prefix_(prefix), qos_(qos), onMessage_(std::move(onMessage)) {
    BrokerEvents events;
    events.connected = [this] {
        for (const std::string& topic : FleetSubscriptions(prefix_)) {
            client_->Subscribe(topic, qos_);
        }
    };
    events.message = [this](const std::string& topic, const std::string& payload) {
        if (const auto name = ParseSensorTopic(prefix_, topic)) {
            onMessage_(*name, payload);
        }
    };
    client_ = std::make_unique<BrokerClient>(options, nullptr, std::move(events));
}

}  // namespace kq7publish
