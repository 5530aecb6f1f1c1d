/* SPDX-License-Identifier: MIT */
#include "kq7/publish/settings_request.h"

#include <nlohmann/json.hpp>

#include "kq7/publish/json_fields.h"
#include "kq7/publish/publish_limits.h"
#include "kq7/serve/serve_limits.h"

namespace kq7publish {

namespace {

void ReadOptional(JsonFields& fields, const char* key, std::optional<int>& value, int min, int max) {
    if (fields.Has(key)) {
        int number = 0;
        fields.Whole(key, number, min, max);
        value = number;
    }
}

// pause, resume and take_dark are commands: present means true.
void ReadCommand(JsonFields& fields, const char* key, bool& value) {
    if (fields.Has(key)) {
        fields.Flag(key, value);
        if (!value) {
            fields.Refuse(std::string(key) + " takes true only");
        }
    }
}

}  // namespace

std::string ParseSettingsRequest(const std::string& payload, SettingsRequest& r) {
    using namespace kq7serve;
    JsonFields fields(payload, "settings request", kMaxSettingsBytes);
    if (fields.Has("request_id")) {
        fields.Text("request_id", r.requestId, kMaxRequestIdLength);
    }
    if (fields.Has("coefficients")) {
        fields.Refuse("coefficients are never set over the broker");
    }
    ReadOptional(fields, "shutter", r.shutter, kMinShutter, kMaxShutter);
    ReadOptional(fields, "averages", r.averages, 1, kMaxAverage);
    ReadOptional(fields, "auto_exposure", r.autoExposurePercent, kMinPercent, kMaxPercent);
    if (fields.Has("subtract_dark")) {
        bool subtract = false;
        fields.Flag("subtract_dark", subtract);
        r.subtractDark = subtract;
    }
    ReadCommand(fields, "pause", r.pause);
    ReadCommand(fields, "resume", r.resume);
    ReadCommand(fields, "take_dark", r.takeDark);
    fields.RefuseUnread();
    if (r.pause && r.resume) {
        fields.Refuse("pause and resume together");
    }
    if (r.shutter && r.autoExposurePercent) {
        fields.Refuse("shutter and auto_exposure together");
    }
    if (!r.shutter && !r.averages && !r.subtractDark && !r.autoExposurePercent && !r.pause && !r.resume &&
        !r.takeDark) {
        fields.Refuse("no setting in the request");
    }
    return fields.Reason();
}

std::string EncodeSettingsResult(const std::string& requestId, const std::string& reason) {
    return JsonText(nlohmann::json{{"request_id", requestId}, {"accepted", reason.empty()}, {"reason", reason}});
}

std::string EncodeSettingsRequest(const SettingsRequest& r) {
    nlohmann::json request{{"request_id", r.requestId}};
    if (r.shutter) {
        request["shutter"] = *r.shutter;
    }
    if (r.averages) {
        request["averages"] = *r.averages;
    }
    if (r.subtractDark) {
        request["subtract_dark"] = *r.subtractDark;
    }
    if (r.autoExposurePercent) {
        request["auto_exposure"] = *r.autoExposurePercent;
    }
    for (const auto& [key, asked] : {std::pair{"pause", r.pause}, {"resume", r.resume}, {"take_dark", r.takeDark}}) {
        if (asked) {
            request[key] = true;
        }
    }
    return JsonText(request);
}

std::string DecodeSettingsResult(const std::string& payload, std::string& requestId, std::string& reason) {
    JsonFields fields(payload, "settings result", kMaxSettingsBytes);
    bool accepted = false;
    fields.Text("request_id", requestId, kMaxRequestIdLength);
    fields.Flag("accepted", accepted);
    fields.Text("reason", reason, kMaxSettingsBytes);
    if (fields.Reason().empty() && accepted != reason.empty()) {
        fields.Refuse("accepted and reason disagree");
    }
    return fields.Reason();
}

}  // namespace kq7publish
