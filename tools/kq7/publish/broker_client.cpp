/* SPDX-License-Identifier: MIT */
#include "kq7/publish/broker_client.h"

#include <mosquitto.h>

#include <algorithm>
#include <stdexcept>

#include "kq7/publish/publish_limits.h"

namespace kq7publish {

namespace {

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

void Check(int rc, const std::string& what) {
    if (rc != MOSQ_ERR_SUCCESS) {
        throw std::runtime_error(what + ": " + mosquitto_strerror(rc));
    }
}

// Refusals that another try would only repeat (MQTT 3.1.1 CONNACK codes):
// unacceptable protocol version, identifier rejected, bad user name or
// password, not authorised.
bool RefusedForGood(int connack) { return connack == 1 || connack == 2 || connack == 4 || connack == 5; }

}  // namespace

BrokerClient::BrokerClient(const BrokerOptions& options, const LastWill* will, BrokerEvents events)
    : options_(options), events_(std::move(events)) {
    InitLibraryOnce();
    mosq_ = mosquitto_new(options.clientId.empty() ? nullptr : options.clientId.c_str(), options.cleanSession, this);
    if (mosq_ == nullptr) {
        throw std::runtime_error("cannot make an MQTT client (out of memory, or a kept session without a client id)");
    }
    mosquitto_connect_callback_set(mosq_, OnConnect);
    mosquitto_disconnect_callback_set(mosq_, OnDisconnect);
    mosquitto_publish_callback_set(mosq_, OnPublish);
    mosquitto_message_callback_set(mosq_, OnMessage);
    mosquitto_log_callback_set(mosq_, OnLog);
    if (will != nullptr) {
        Check(mosquitto_will_set(mosq_, will->topic.c_str(), static_cast<int>(will->payload.size()),
                                 will->payload.data(), 1, true),
              "cannot set the last will");
    }
    if (!options.username.empty()) {
        Check(mosquitto_username_pw_set(mosq_, options.username.c_str(), options.password.c_str()),
              "cannot set the user name");
    }
    // Publish and Subscribe from other threads then only queue and wake ours.
    Check(mosquitto_threaded_set(mosq_, true), "cannot share the MQTT client between threads");
}

BrokerClient::~BrokerClient() {
    if (network_.joinable()) {
        // A clean DISCONNECT, if the loop writes it before it sees the stop:
        // else the broker publishes the last will, which says the same.
        mosquitto_disconnect(mosq_);
        {
            std::lock_guard<std::mutex> lock(stopMutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
        network_.join();
    }
    mosquitto_destroy(mosq_);
}

void BrokerClient::Start() {
    if (options_.tls) {
        if (options_.cafile.empty()) {
            Check(mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1), "cannot use the system's certificates");
        } else {
            Check(mosquitto_tls_set(mosq_, options_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr),
                  "cannot use the CA file " + options_.cafile);
        }
    }
    network_ = std::thread([this] { Run(); });
}

bool BrokerClient::Refused() const {
    std::lock_guard<std::mutex> lock(reportMutex_);
    return report_.refused;
}

void BrokerClient::Run() {
    // Long enough to notice a stop soon; a publish wakes the loop at once.
    constexpr int kLoopMs = 100;
    int rc = mosquitto_connect(mosq_, options_.host.c_str(), options_.port, kKeepAliveSeconds);
    unsigned pause = kReconnectFirstSeconds;
    while (!stopping_ && !Refused()) {
        if (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(mosq_, kLoopMs, 1);
            if (rc == MOSQ_ERR_SUCCESS && Report().connected) {
                pause = kReconnectFirstSeconds;
            }
            continue;
        }
        if (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_EAI) {
            SetProblem("cannot reach the broker " + options_.host + ":" + std::to_string(options_.port) + " (" +
                       (rc == MOSQ_ERR_EAI ? "unknown host" : "refused or unreachable") + "); trying again");
        }  // else the log said why (TLS)
        std::unique_lock<std::mutex> lock(stopMutex_);
        stopped_.wait_for(lock, std::chrono::seconds(pause), [this] { return stopping_.load(); });
        lock.unlock();
        pause = std::min(pause + 1, kReconnectMaxSeconds);
        if (!stopping_) {
            rc = mosquitto_reconnect(mosq_);
        }
    }
}

bool BrokerClient::Publish(const std::string& topic, const std::string& payload, int qos, bool retain) {
    return mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), qos,
                             retain) == MOSQ_ERR_SUCCESS;
}

bool BrokerClient::Subscribe(const std::string& topic, int qos) {
    return mosquitto_subscribe(mosq_, nullptr, topic.c_str(), qos) == MOSQ_ERR_SUCCESS;
}

ConnectionReport BrokerClient::Report() const {
    std::lock_guard<std::mutex> lock(reportMutex_);
    return report_;
}

void BrokerClient::SetProblem(const std::string& problem) {
    std::lock_guard<std::mutex> lock(reportMutex_);
    report_.problem = problem;
}

void BrokerClient::OnConnect(mosquitto* mosq, void* self, int rc) {
    auto* client = static_cast<BrokerClient*>(self);
    {
        std::lock_guard<std::mutex> lock(client->reportMutex_);
        if (rc == 0) {
            client->report_.connected = true;
            ++client->report_.connections;
            client->report_.problem.clear();
        } else {
            client->report_.problem = std::string("the broker refused the connection: ") + mosquitto_connack_string(rc);
            client->report_.refused = RefusedForGood(rc);
        }
    }
    if (rc != 0) {
        if (RefusedForGood(rc)) {
            mosquitto_disconnect(mosq);
        }
        return;
    }
    if (client->events_.connected) {
        client->events_.connected();
    }
}

void BrokerClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<BrokerClient*>(self);
    {
        std::lock_guard<std::mutex> lock(client->reportMutex_);
        const bool wasConnected = client->report_.connected;
        client->report_.connected = false;
        if (rc != 0 && wasConnected) {
            client->report_.problem = "lost the broker connection; trying again";
        }
    }
    if (client->events_.disconnected) {
        client->events_.disconnected();
    }
}

void BrokerClient::OnPublish(mosquitto*, void* self, int) {
    auto* client = static_cast<BrokerClient*>(self);
    if (client->events_.delivered) {
        client->events_.delivered();
    }
}

void BrokerClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<BrokerClient*>(self);
    if (client->events_.message && message->payloadlen >= 0) {
        const char* bytes = static_cast<const char*>(message->payload);
        client->events_.message(message->topic,
                                std::string(bytes, bytes == nullptr ? 0 : static_cast<size_t>(message->payloadlen)));
    }
}

void BrokerClient::OnLog(mosquitto*, void* self, int level, const char* text) {
    // TLS failures reach us only here (e.g. "certificate verify failed").
    if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) != 0) {
        static_cast<BrokerClient*>(self)->SetProblem(text);
    }
}

}  // namespace kq7publish
