/* SPDX-License-Identifier: MIT */
// One sensor on the broker: its info and status (retained, QoS 1), its
// spectra (QoS 0 or 1) and, when asked for, its settings topic. Every call is
// safe from any thread and returns at once: messages wait in a bounded queue
// (the oldest spectrum dropped first, and counted) and at most
// kInFlightWindow of them are with the client library at a time, so a slow
// or absent broker never holds up the thread that captures.
// It listens to its own status topic too: a status there from another run
// that is not offline means that two publishers claim the serial number, and
// it warns about each such run once.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "kq7/publish/broker_client.h"
#include "kq7/publish/outgoing_queue.h"
#include "kq7/publish/publish_limits.h"
#include "kq7/publish/sensor_payloads.h"
#include "kq7/publish/settings_request.h"
#include "kq7/publish/spectrum_payload.h"

namespace kq7publish {

struct PublisherOptions {
    BrokerOptions broker;
    std::string prefix = kDefaultPrefix;
    int qos = 0;  // of the spectra; info, status and results go at QoS 1
    PayloadFormat format = PayloadFormat::Json;
    std::size_t queueCapacity = kDefaultQueueCapacity;
    bool acceptSettings = false;  // subscribe to PREFIX/SERIAL/set
};

// Decides on a valid settings request, on the network thread: empty accepts
// it (the owner applies it on its own thread), else the reason to refuse.
using SettingsHandler = std::function<std::string(const SettingsRequest&)>;

struct PublisherStats {
    ConnectionReport connection;
    uint64_t delivered = 0;  // messages written (QoS 0) or acknowledged (QoS 1)
    uint64_t droppedSpectra = 0;
    std::size_t queuedSpectra = 0;
};

class Publisher {
public:
    // `serial` names the topics; the last will marks them offline.
    Publisher(const PublisherOptions& options, const std::string& serial, SettingsHandler onSettings);

    // Connects in the background; see BrokerClient::Start.
    void Start();

    void SetInfo(const SensorDescription& description);
    void SetState(PublisherState state);
    void PublishSpectrum(const SpectrumMessage& spectrum);

    // Publishes "offline" and waits up to `wait` until everything queued is
    // delivered. False when something was left.
    bool Finish(std::chrono::milliseconds wait);

    PublisherStats Stats() const;

private:
    void Drain();
    void DrainOnce();
    void OnConnected();
    void OnDisconnected();
    void OnDelivered();
    void OnMessage(const std::string& topic, const std::string& payload);
    std::string Topic(TopicKind kind) const;
    void CheckClaim(const std::string& payload);

    PublisherOptions options_;
    std::string serial_;
    const std::string instance_ = NewInstanceId();
    std::mutex claimMutex_;
    std::set<std::string> foreignInstances_;  // warned about
    SettingsHandler onSettings_;

    mutable std::mutex queueMutex_;
    OutgoingQueue queue_;

    // One drainer at a time, and no one waits for it: a caller that finds it
    // busy leaves a request that the drainer picks up before it leaves.
    std::mutex drainMutex_;
    std::atomic<bool> drainRequested_{false};
    std::atomic<bool> connected_{false};
    std::atomic<int> inFlight_{0};
    std::atomic<uint64_t> delivered_{0};

    std::unique_ptr<BrokerClient> client_;
};

}  // namespace kq7publish
