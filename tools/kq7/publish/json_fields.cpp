/* SPDX-License-Identifier: MIT */
#include "kq7/publish/json_fields.h"

namespace kq7publish {

std::string JsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

JsonFields::JsonFields(const std::string& payload, const char* what, std::size_t maxBytes) {
    if (payload.size() > maxBytes) {
        Refuse(std::string(what) + " of " + std::to_string(payload.size()) + " bytes, more than " +
               std::to_string(maxBytes));
        return;
    }
    json_ = nlohmann::json::parse(payload, nullptr, false);
    if (json_.is_discarded()) {
        Refuse(std::string(what) + " is not JSON");
    } else if (!json_.is_object()) {
        Refuse(std::string(what) + " is not a JSON object");
    }
}

void JsonFields::Refuse(const std::string& reason) {
    if (reason_.empty()) {
        reason_ = reason;
    }
}

bool JsonFields::Has(const char* key) const { return reason_.empty() && json_.contains(key); }

const nlohmann::json* JsonFields::Field(const char* key, bool (nlohmann::json::*is)() const noexcept,
                                        const char* type) {
    if (!reason_.empty()) {
        return nullptr;
    }
    read_.insert(key);
    const auto found = json_.find(key);
    if (found == json_.end()) {
        Refuse(std::string("no field \"") + key + "\"");
        return nullptr;
    }
    if (!((*found).*is)()) {
        Refuse(std::string(key) + " is not " + type);
        return nullptr;
    }
    return &*found;
}

void JsonFields::Text(const char* key, std::string& value, std::size_t maxLength) {
    if (const nlohmann::json* field = Field(key, &nlohmann::json::is_string, "a text")) {
        if (field->get_ref<const std::string&>().size() > maxLength) {
            Refuse(std::string(key) + " is longer than " + std::to_string(maxLength) + " characters");
        } else {
            value = field->get<std::string>();
        }
    }
}

void JsonFields::Whole(const char* key, int& value, int min, int max) {
    const nlohmann::json* field = Field(key, &nlohmann::json::is_number_integer, "a whole number");
    if (field == nullptr) {
        return;
    }
    // Unsigned first: a number above INT64_MAX is still a whole number, and out of range.
    const bool inRange = field->is_number_unsigned()
                             ? field->get<uint64_t>() <= static_cast<uint64_t>(max) &&
                                   static_cast<int64_t>(field->get<uint64_t>()) >= min
                             : field->get<int64_t>() >= min && field->get<int64_t>() <= max;
    if (!inRange) {
        Refuse(std::string(key) + " " + field->dump() + " is out of range " + std::to_string(min) + ".." +
               std::to_string(max));
        return;
    }
    value = static_cast<int>(field->get<int64_t>());
}

void JsonFields::Unsigned(const char* key, uint64_t& value) {
    if (const nlohmann::json* field = Field(key, &nlohmann::json::is_number_unsigned, "a whole number of 0 or more")) {
        value = field->get<uint64_t>();
    }
}

void JsonFields::Flag(const char* key, bool& value) {
    if (const nlohmann::json* field = Field(key, &nlohmann::json::is_boolean, "true or false")) {
        value = field->get<bool>();
    }
}

void JsonFields::Numbers(const char* key, std::vector<double>& values) {
    const nlohmann::json* field = Field(key, &nlohmann::json::is_array, "a list");
    if (field == nullptr) {
        return;
    }
    values.clear();
    values.reserve(field->size());
    for (const nlohmann::json& item : *field) {
        if (!item.is_number()) {
            Refuse(std::string(key) + " holds something else than numbers");
            return;
        }
        values.push_back(item.get<double>());
    }
}

void JsonFields::RefuseUnread() {
    if (!reason_.empty()) {
        return;
    }
    for (const auto& item : json_.items()) {
        if (read_.count(item.key()) == 0) {
            Refuse("unknown field \"" + item.key() + "\"");
            return;
        }
    }
}

}  // namespace kq7publish
