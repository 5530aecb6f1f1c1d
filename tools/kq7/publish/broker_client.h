/* SPDX-License-Identifier: MIT */
// One connection to an MQTT broker over libmosquitto. A network thread of
// ours connects, reads, writes, keeps the connection alive and reconnects
// with backoff (kReconnectFirstSeconds, one second more after each failed
// try, up to kReconnectMaxSeconds) after any failure, TLS failures included,
// which end libmosquitto's own loop for good. The events below run on that
// thread. Publish and Subscribe only queue for it: they never wait for the
// network.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "kq7/publish/broker_options.h"

struct mosquitto;
struct mosquitto_message;

namespace kq7publish {

struct LastWill {
    std::string topic;
    std::string payload;  // sent retained at QoS 1
};

struct ConnectionReport {
    bool connected = false;
    int connections = 0;  // successful ones, the first included
    bool refused = false;  // the broker said no for good (credentials, client id): no more tries
    std::string problem;   // the last thing that went wrong, for people; empty while all is well
};

struct BrokerEvents {
    std::function<void()> connected;  // after each successful (re)connection
    std::function<void()> disconnected;
    std::function<void()> delivered;  // a message written (QoS 0) or acknowledged (QoS 1)
    std::function<void(const std::string& topic, const std::string& payload)> message;
};

class BrokerClient {
public:
    BrokerClient(const BrokerOptions& options, const LastWill* will, BrokerEvents events);
    ~BrokerClient();  // disconnects, and waits for the network thread to end
    BrokerClient(const BrokerClient&) = delete;
    BrokerClient& operator=(const BrokerClient&) = delete;

    // Connects in the background. Throws std::runtime_error when the options
    // cannot work at all (e.g. a CA file that cannot be read).
    void Start();

    // False when the library did not take the message (not connected, out of memory).
    bool Publish(const std::string& topic, const std::string& payload, int qos, bool retain);
    bool Subscribe(const std::string& topic, int qos);

    ConnectionReport Report() const;

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void OnLog(mosquitto*, void* self, int level, const char* text);
    void SetProblem(const std::string& problem);
    void Run();
    bool Refused() const;

    BrokerOptions options_;
    BrokerEvents events_;
    mosquitto* mosq_ = nullptr;
    std::thread network_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::condition_variable stopped_;
    mutable std::mutex reportMutex_;
    ConnectionReport report_;
};

}  // namespace kq7publish
