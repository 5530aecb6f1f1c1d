/* SPDX-License-Identifier: MIT */
#include "kq7/serve/request_fields.h"

#include <cstdlib>
#include <optional>

#include "kq7/serve/serve_limits.h"

namespace kq7serve {

namespace {

// A refusal quotes what the client sent, but never a line break or another
// control byte of it: the quote stays one line of the answer.
std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
            c = '?';
        }
    }
    return shown;
}

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::atoi(text.c_str());
    return value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

std::optional<bool> Boolean(const std::string& text) {
    if (text == "true") {
        return true;
    }
    if (text == "false") {
        return false;
    }
    return std::nullopt;
}

std::string RangeReason(const std::string& name, int low, int high) {
    return name + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

}  // namespace

std::string ReadSettingsChange(const Fields& fields, kq7tool::SettingsChange& change) {
    if (fields.empty()) {
        return "no field to change: shutter, average, subtractDark, paused or quantity";
    }
    for (const auto& [name, value] : fields) {
        if (name == "shutter") {
            change.shutter = WholeNumber(value, kMinShutter, kMaxShutter);
            if (!change.shutter) {
                return RangeReason(name, kMinShutter, kMaxShutter);
            }
        } else if (name == "average") {
            change.average = WholeNumber(value, 1, kMaxAverage);
            if (!change.average) {
                return RangeReason(name, 1, kMaxAverage);
            }
        } else if (name == "subtractDark" || name == "paused") {
            std::optional<bool>& flag = name == "paused" ? change.paused : change.subtractDark;
            flag = Boolean(value);
            if (!flag) {
                return name + " must be true or false";
            }
        } else if (name == "quantity") {
            change.quantity = kq7tool::ParseQuantity(value);
            if (!change.quantity) {
                return "quantity must be counts, transmittance, absorbance or reflectance";
            }
        } else {
            return "unknown field '" + Printable(name) + "'";
        }
    }
    return "";
}

std::string ReadPercent(const Fields& fields, int& percent) {
    const auto field = fields.find("percent");
    if (field == fields.end() || fields.size() != 1) {
        return "percent is the only field, and it is needed";
    }
    const std::optional<int> value = WholeNumber(field->second, kMinPercent, kMaxPercent);
    if (!value) {
        return RangeReason("percent", kMinPercent, kMaxPercent);
    }
    percent = *value;
    return "";
}

}  // namespace kq7serve
