/* SPDX-License-Identifier: MIT */
// The topic layout: PREFIX/SERIAL/info, status, spectrum, set and set/result.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kq7publish {

enum class TopicKind { Info, Status, Spectrum, Set, SetResult };

// The serial number as one topic level: '/', '+', '#', control characters
// and spaces become '_' (an empty serial becomes "_").
std::string TopicLevel(const std::string& serial);

// Empty when `prefix` can begin a topic (one or more levels, no wildcard, no
// empty level), else the reason.
std::string CheckPrefix(const std::string& prefix);

std::string SensorTopic(const std::string& prefix, const std::string& serial, TopicKind kind);

struct SensorTopicName {
    std::string serial;  // the topic level
    TopicKind kind;
};
// The serial and kind of a topic under `prefix`; nothing for any other topic.
std::optional<SensorTopicName> ParseSensorTopic(const std::string& prefix, const std::string& topic);

// What a fleet listener subscribes to: every sensor's info, status and spectrum.
std::vector<std::string> FleetSubscriptions(const std::string& prefix);

}  // namespace kq7publish
