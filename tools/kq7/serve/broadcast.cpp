/* SPDX-License-Identifier: MIT */
#include "kq7/serve/broadcast.h"

namespace kq7serve {

const char* TopicName(Topic topic) {
    switch (topic) {
    case Topic::Sensor:
        return "sensor";
    case Topic::Status:
        return "status";
    case Topic::Spectrum:
        return "spectrum";
    }
    return "";
}

void Broadcast::Publish(Topic topic, std::string data) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Latest& latest = latest_[static_cast<size_t>(topic)];
        latest.data = std::move(data);
        ++latest.version;
    }
    changed_.notify_all();
}

bool Broadcast::HasNews(const Seen& seen) const {
    for (size_t i = 0; i < kTopicCount; ++i) {
        if (latest_[i].version != seen[i]) {
            return true;
        }
    }
    return false;
}

bool Broadcast::Next(Seen& seen, std::vector<Event>& events, std::chrono::milliseconds timeout) {
    events.clear();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return closed_ || HasNews(seen); });
    if (closed_) {
        return false;
    }
    for (size_t i = 0; i < kTopicCount; ++i) {
        if (latest_[i].version != seen[i]) {
            seen[i] = latest_[i].version;
            events.push_back(Event{static_cast<Topic>(i), latest_[i].data});
        }
    }
    return true;
}

void Broadcast::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace kq7serve
