/* SPDX-License-Identifier: MIT */
#include "kq7/publish/publisher.h"

#include <thread>

#include "kq7/diagnostics.h"

namespace kq7publish {

namespace {

uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace

Publisher::Publisher(const PublisherOptions& options, const std::string& serial, SettingsHandler onSettings)
    : options_(options), serial_(serial), onSettings_(std::move(onSettings)), queue_(options.queueCapacity) {
    const LastWill will{Topic(TopicKind::Status), OfflineWill(instance_)};
    BrokerEvents events;
    events.connected = [this] { OnConnected(); };
    events.disconnected = [this] { OnDisconnected(); };
    events.delivered = [this] { OnDelivered(); };
    events.message = [this](const std::string& topic, const std::string& payload) { OnMessage(topic, payload); };
    client_ = std::make_unique<BrokerClient>(options.broker, &will, std::move(events));
}

std::string Publisher::Topic(TopicKind kind) const { return SensorTopic(options_.prefix, serial_, kind); }

void Publisher::Start() { client_->Start(); }

void Publisher::SetInfo(const SensorDescription& description) {
    std::string payload = EncodeInfo(description);
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.SetInfo(std::move(payload));
    }
    Drain();
}

void Publisher::SetState(PublisherState state) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.SetStatus(EncodeStatus({state, NowMs(), options_.acceptSettings, queue_.DroppedSpectra(), instance_}));
    }
    Drain();
}

void Publisher::PublishSpectrum(const SpectrumMessage& spectrum) {
    std::string payload = EncodeSpectrum(spectrum, options_.format);
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.PushSpectrum(std::move(payload));
    }
    Drain();
}

void Publisher::Drain() {
    drainRequested_ = true;
    while (drainRequested_) {
        std::unique_lock<std::mutex> lock(drainMutex_, std::try_to_lock);
        if (!lock) {
            return;  // the drainer sees the request
        }
        while (drainRequested_.exchange(false)) {
            DrainOnce();
        }
    }
}

void Publisher::DrainOnce() {
    while (connected_ && inFlight_ < kInFlightWindow) {
        std::optional<Outgoing> next;
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            next = queue_.Take();
        }
        if (!next) {
            return;
        }
        const bool spectrum = next->kind == TopicKind::Spectrum;
        ++inFlight_;
        if (!client_->Publish(Topic(next->kind), next->payload, spectrum ? options_.qos : 1, !spectrum)) {
            --inFlight_;
            std::lock_guard<std::mutex> lock(queueMutex_);
            queue_.PutBack(std::move(*next));
            return;
        }
    }
}

void Publisher::OnConnected() {
    // Subscribed before our status goes out: the retained one is another run's.
    client_->Subscribe(Topic(TopicKind::Status), 1);
    if (options_.acceptSettings) {
        client_->Subscribe(Topic(TopicKind::Set), 1);
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.ResendState();
    }
    connected_ = true;
    Drain();
}

void Publisher::OnDisconnected() {
    connected_ = false;
    // QoS 0 messages with the library are gone, QoS 1 ones come back after the
    // reconnection: the window starts empty again and may run over by the
    // latter once.
    inFlight_ = 0;
}

void Publisher::OnDelivered() {
    ++delivered_;
    if (inFlight_ > 0) {
        --inFlight_;
    }
    Drain();
}

void Publisher::CheckClaim(const std::string& payload) {
    StatusMessage status;
    if (!DecodeStatus(payload, status).empty() || status.instance.empty() || status.instance == instance_ ||
        status.state == PublisherState::Offline) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(claimMutex_);
        if (!foreignInstances_.insert(status.instance).second) {
            return;
        }
    }
    kq7tool::SayWarning("another publisher (run " + status.instance + ") says that sensor " + serial_ + " is " +
                        StateWord(status.state) + " on " + Topic(TopicKind::Status) +
                        ": two publishers claim this serial number (or an earlier run was stopped less than " +
                        std::to_string(kKeepAliveSeconds * 3 / 2) + " s ago without saying so)");
}

void Publisher::OnMessage(const std::string& topic, const std::string& payload) {
    if (topic == Topic(TopicKind::Status)) {
        CheckClaim(payload);
        return;
    }
    if (topic != Topic(TopicKind::Set)) {
        return;
    }
    SettingsRequest request;
    std::string reason = ParseSettingsRequest(payload, request);
    if (reason.empty()) {
        reason = onSettings_ ? onSettings_(request) : "this publisher takes no settings";
    }
    client_->Publish(Topic(TopicKind::SetResult), EncodeSettingsResult(request.requestId, reason), 1, false);
}

bool Publisher::Finish(std::chrono::milliseconds wait) {
    SetState(PublisherState::Offline);
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            if (queue_.Empty() && inFlight_ == 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

PublisherStats Publisher::Stats() const {
    PublisherStats stats;
    stats.connection = client_->Report();
    stats.delivered = delivered_;
    std::lock_guard<std::mutex> lock(queueMutex_);
    stats.droppedSpectra = queue_.DroppedSpectra();
    stats.queuedSpectra = queue_.QueuedSpectra();
    return stats;
}

}  // namespace kq7publish
