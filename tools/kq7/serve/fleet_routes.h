/* SPDX-License-Identifier: MIT */
// The routes of kq7 serve --broker beside the page and its events:
// GET /fleet.json, the list of sensors; POST /settings, /dark and /exposure
// with the page's fields and `sensor`, sent to that sensor's publisher, whose
// answer comes back as the answer to the request.
#pragma once

#include "kq7/serve/fleet_control.h"
#include "kq7/serve/fleet_model.h"

namespace httplib {
class Server;
}

namespace kq7serve {

void AddFleetRoutes(httplib::Server& server, FleetModel& fleet, FleetControl& control);

}  // namespace kq7serve
