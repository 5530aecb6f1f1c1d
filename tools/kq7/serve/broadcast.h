/* SPDX-License-Identifier: MIT */
// Hands the newest message of each topic to every open event stream. A
// publisher never waits for a reader: a reader that falls behind gets only
// the newest message of a topic and misses those in between.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kq7serve {

// The event names on the stream, in the order a new reader gets them.
enum class Topic { Sensor, Status, Spectrum };
constexpr std::size_t kTopicCount = 3;
const char* TopicName(Topic topic);

struct Event {
    Topic topic;
    std::string data;
};

class Broadcast {
public:
    // Per reader: the version of each topic it has seen, 0 for none.
    using Seen = std::array<uint64_t, kTopicCount>;

    void Publish(Topic topic, std::string data);
    // Waits up to `timeout` until a topic has a message newer than `seen`,
    // then stores the newest of each such topic in `events` and marks them
    // seen; `events` stays empty after the timeout. false once closed.
    bool Next(Seen& seen, std::vector<Event>& events, std::chrono::milliseconds timeout);
    // Ends every Next, now and later.
    void Close();

private:
    struct Latest {
        uint64_t version = 0;
        std::string data;
    };
    bool HasNews(const Seen& seen) const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<Latest, kTopicCount> latest_;
    bool closed_ = false;
};

}  // namespace kq7serve
