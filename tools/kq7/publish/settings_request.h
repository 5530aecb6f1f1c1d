/* SPDX-License-Identifier: MIT */
// PREFIX/SERIAL/set and its answer on PREFIX/SERIAL/set/result. A request is
// one JSON object; anything unknown, of the wrong type or out of range
// refuses the whole request, so that none is half applied.
#pragma once

#include <optional>
#include <string>

namespace kq7publish {

struct SettingsRequest {
    std::string requestId;  // echoed in the result; may be empty
    std::optional<int> shutter;
    std::optional<int> averages;
    std::optional<bool> subtractDark;
    std::optional<int> autoExposurePercent;  // search a shutter value for this peak height
    bool pause = false;
    bool resume = false;
    bool takeDark = false;
};

// Empty when `payload` was read into `request`, else the reason to refuse
// it; `request.requestId` is filled whenever it could be read.
std::string ParseSettingsRequest(const std::string& payload, SettingsRequest& request);

// The request as a publisher reads it (what serve --broker sends).
std::string EncodeSettingsRequest(const SettingsRequest& request);

// {"request_id":..., "accepted":..., "reason":...}; an empty reason accepts.
std::string EncodeSettingsResult(const std::string& requestId, const std::string& reason);
// Empty when `payload` was read into `requestId` and `reason` (empty:
// accepted), else why not.
std::string DecodeSettingsResult(const std::string& payload, std::string& requestId, std::string& reason);

}  // namespace kq7publish
