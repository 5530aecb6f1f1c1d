/* SPDX-License-Identifier: MIT */
// Listens to every sensor under a prefix: PREFIX/+/info, status and spectrum,
// subscribed again after each reconnection. For the recorder and the fleet page.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "kq7/publish/broker_client.h"
#include "kq7/publish/topics.h"

namespace kq7publish {

// Called on the network thread for each message on a sensor's topic.
using FleetHandler = std::function<void(const SensorTopicName& topic, const std::string& payload)>;

class Subscriber {
public:
    // `qos` 1 with options.cleanSession false and a fixed client id: the
    // broker keeps what is published while this subscriber is away.
    Subscriber(const BrokerOptions& options, const std::string& prefix, int qos, FleetHandler onMessage);

    void Start() { client_->Start(); }
    ConnectionReport Report() const { return client_->Report(); }

private:
    std::string prefix_;
    int qos_;
    FleetHandler onMessage_;
    std::unique_ptr<BrokerClient> client_;
};

}  // namespace kq7publish
