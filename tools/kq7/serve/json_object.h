/* SPDX-License-Identifier: MIT */
// Writes the JSON objects that kq7 serve pushes to its page.
#pragma once

#include <string>
#include <vector>

namespace kq7serve {

class JsonObject {
public:
    JsonObject& Text(const char* key, const std::string& value);
    // Not finite numbers become null.
    JsonObject& Number(const char* key, double value);
    JsonObject& Flag(const char* key, bool value);
    JsonObject& Numbers(const char* key, const std::vector<double>& values);
    JsonObject& Object(const char* key, const JsonObject& value);
    std::string Str() const { return "{" + body_ + "}"; }

private:
    JsonObject& Raw(const char* key, const std::string& json);
    std::string body_;
};

}  // namespace kq7serve
