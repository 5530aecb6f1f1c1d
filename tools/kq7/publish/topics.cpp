/* SPDX-License-Identifier: MIT */
#include "kq7/publish/topics.h"

namespace kq7publish {

namespace {

struct KindName {
    TopicKind kind;
    const char* suffix;
};
constexpr KindName kKinds[] = {{TopicKind::Info, "info"},
                               {TopicKind::Status, "status"},
                               {TopicKind::Spectrum, "spectrum"},
                               {TopicKind::Set, "set"},
                               {TopicKind::SetResult, "set/result"}};

const char* Suffix(TopicKind kind) {
    for (const KindName& k : kKinds) {
        if (k.kind == kind) {
            return k.suffix;
        }
    }
    return "";
}

}  // namespace

std::string TopicLevel(const std::string& serial) {
    std::string level;
    for (const char c : serial) {
        const bool unsafe = c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) <= 0x20 || c == 0x7f;
        level += unsafe ? '_' : c;
    }
    return level.empty() ? "_" : level;
}

std::string CheckPrefix(const std::string& prefix) {
    if (prefix.empty()) {
        return "the topic prefix is empty";
    }
    if (prefix.find_first_of("+#") != std::string::npos) {
        return "the topic prefix \"" + prefix + "\" holds a wildcard (+ or #)";
    }
    if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string::npos) {
        return "the topic prefix \"" + prefix + "\" has an empty level";
    }
    return "";
}

std::string SensorTopic(const std::string& prefix, const std::string& serial, TopicKind kind) {
    return prefix + "/" + TopicLevel(serial) + "/" + Suffix(kind);
}

std::optional<SensorTopicName> ParseSensorTopic(const std::string& prefix, const std::string& topic) {
    const std::string head = prefix + "/";
    if (topic.compare(0, head.size(), head) != 0) {
        return std::nullopt;
    }
    const std::string rest = topic.substr(head.size());
    const size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string::npos) {
        return std::nullopt;
    }
    const std::string suffix = rest.substr(slash + 1);
    for (const KindName& k : kKinds) {
        if (suffix == k.suffix) {
            return SensorTopicName{rest.substr(0, slash), k.kind};
        }
    }
    return std::nullopt;
}

std::vector<std::string> FleetSubscriptions(const std::string& prefix) {
    return {prefix + "/+/info", prefix + "/+/status", prefix + "/+/spectrum"};
}

}  // namespace kq7publish
