/* SPDX-License-Identifier: MIT */
// kq7 serve --broker: every sensor heard on the broker, as the fleet list
// shows it (status, host, age of the last spectrum, rate), and for each one
// the page's events (sensor, status, spectrum) as a live view of its own.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "kq7/publish/sensor_payloads.h"
#include "kq7/publish/spectrum_payload.h"
#include "kq7/publish/topics.h"
#include "kq7/serve/broadcast.h"

namespace kq7serve {

class FleetModel {
public:
    using Clock = std::chrono::steady_clock;

    // One message from the Subscriber, on its thread. Malformed ones are left out.
    void Take(const kq7publish::SensorTopicName& topic, const std::string& payload, Clock::time_point now);

    // [{"serial","model","host","state","acceptsSettings","age" (seconds, null: none yet),"rate"}], by serial.
    std::string ListJson(Clock::time_point now) const;
    // The events of sensor `serial`; nullptr for one not heard of.
    Broadcast* Events(const std::string& serial);
    bool AcceptsSettings(const std::string& serial) const;
    // Ends every event stream.
    void Close();

private:
    struct Member {
        std::optional<kq7publish::SensorDescription> info;
        kq7publish::StatusMessage status;
        std::optional<kq7publish::SpectrumMessage> last;
        std::optional<Clock::time_point> lastAt;
        std::deque<Clock::time_point> arrivals;  // of the last kRateWindow
        std::unique_ptr<Broadcast> events = std::make_unique<Broadcast>();
    };
    void PublishStatus(Member& member);
    void PublishSpectrum(Member& member);
    static double Rate(const Member& member);

    mutable std::mutex mutex_;
    std::map<std::string, Member> members_;
};

}  // namespace kq7serve
