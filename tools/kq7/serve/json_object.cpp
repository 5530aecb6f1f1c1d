/* SPDX-License-Identifier: MIT */
#include "kq7/serve/json_object.h"

#include <cmath>
#include <cstdio>

namespace kq7serve {

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string NumberText(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    // Seven digits keep a wavelength to the thousandth of a nanometre and
    // every count of a 16-bit sample.
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

}  // namespace

JsonObject& JsonObject::Raw(const char* key, const std::string& json) {
    if (!body_.empty()) {
        body_ += ',';
    }
    body_ += Quoted(key) + ":" + json;
    return *this;
}

JsonObject& JsonObject::Text(const char* key, const std::string& value) { return Raw(key, Quoted(value)); }

JsonObject& JsonObject::Number(const char* key, double value) { return Raw(key, NumberText(value)); }

JsonObject& JsonObject::Flag(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }

JsonObject& JsonObject::Numbers(const char* key, const std::vector<double>& values) {
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        list += (i == 0 ? "" : ",") + NumberText(values[i]);
    }
    return Raw(key, list + "]");
}

JsonObject& JsonObject::Object(const char* key, const JsonObject& value) { return Raw(key, value.Str()); }

}  // namespace kq7serve
