/* SPDX-License-Identifier: MIT */
// Reads the fields of one JSON object strictly: each reader checks the type
// and range of its field, and the first problem becomes the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace kq7publish {

// Compact JSON; bytes that are not UTF-8 (a sensor's texts may hold any) become U+FFFD.
std::string JsonText(const nlohmann::json& value);

class JsonFields {
public:
    // `what` names the message in reasons ("spectrum", "settings request").
    JsonFields(const std::string& payload, const char* what, std::size_t maxBytes);

    bool Has(const char* key) const;
    // A missing field is a problem for every reader.
    void Text(const char* key, std::string& value, std::size_t maxLength);
    void Whole(const char* key, int& value, int min, int max);
    void Unsigned(const char* key, uint64_t& value);
    void Flag(const char* key, bool& value);
    void Numbers(const char* key, std::vector<double>& values);
    // The first field that no reader asked for is a problem.
    void RefuseUnread();
    // Records a problem of the caller's own (the first one stays).
    void Refuse(const std::string& reason);

    // Empty while every field read was right.
    const std::string& Reason() const { return reason_; }

private:
    // The field when it is there and `is` says it is of the type named by
    // `type`; else nothing, and the reason.
    const nlohmann::json* Field(const char* key, bool (nlohmann::json::*is)() const noexcept, const char* type);
    nlohmann::json json_;
    std::set<std::string> read_;
    std::string reason_;
};

}  // namespace kq7publish
