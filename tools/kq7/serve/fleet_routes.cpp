/* SPDX-License-Identifier: MIT */
#include "kq7/serve/fleet_routes.h"

#include <httplib.h>

#include "kq7/serve/request_fields.h"

namespace kq7serve {

namespace {

// How long a request waits for the publisher's answer.
constexpr std::chrono::milliseconds kResultWait{3000};

// The page's fields but `sensor`, which names where they go.
Fields PageFields(const httplib::Request& request) {
    Fields fields = request.params;
    fields.erase("sensor");
    return fields;
}

// 204 when the publisher took it, else 400 with the reason for the page.
void Answer(httplib::Response& response, const std::string& reason) {
    response.status = reason.empty() ? 204 : 400;
    if (!reason.empty()) {
        response.set_content(reason + "\n", "text/plain; charset=utf-8");
    }
}

}  // namespace

void AddFleetRoutes(httplib::Server& server, FleetModel& fleet, FleetControl& control) {
    using httplib::Request;
    using httplib::Response;

    server.Get("/fleet.json", [&fleet](const Request&, Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_content(fleet.ListJson(FleetModel::Clock::now()), "application/json");
    });

    // Checks the sensor, reads the request from the fields and sends it.
    const auto send = [&fleet, &control](const Request& request, Response& response,
                                         std::string (*read)(const Fields&, kq7publish::SettingsRequest&)) {
        const std::string sensor = request.get_param_value("sensor");
        if (!fleet.AcceptsSettings(sensor)) {
            Answer(response, "the publisher of " + sensor + " takes no settings (it runs without --accept-settings)");
            return;
        }
        kq7publish::SettingsRequest settings;
        const std::string refusal = read(PageFields(request), settings);
        Answer(response, refusal.empty() ? control.Request(sensor, settings, kResultWait) : refusal);
    };

    server.Post("/settings", [send](const Request& request, Response& response) {
        send(request, response, [](const Fields& fields, kq7publish::SettingsRequest& settings) {
            kq7tool::SettingsChange change;
            const std::string refusal = ReadSettingsChange(fields, change);
            settings.shutter = change.shutter;
            settings.averages = change.average;
            settings.subtractDark = change.subtractDark;
            settings.pause = change.paused.value_or(false);
            settings.resume = !change.paused.value_or(true);
            return refusal;
        });
    });
    server.Post("/dark", [send](const Request& request, Response& response) {
        send(request, response, [](const Fields&, kq7publish::SettingsRequest& settings) {
            settings.takeDark = true;
            return std::string();
        });
    });
    server.Post("/exposure", [send](const Request& request, Response& response) {
        send(request, response, [](const Fields& fields, kq7publish::SettingsRequest& settings) {
            int percent = 0;
            const std::string refusal = ReadPercent(fields, percent);
            settings.autoExposurePercent = percent;
            return refusal;
        });
    });
}

}  // namespace kq7serve
