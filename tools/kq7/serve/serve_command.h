/* SPDX-License-Identifier: MIT */
// kq7 serve: the live view of the sensor in a browser, until Ctrl-C.
#pragma once

#include <string>
#include <vector>

#include "kq7/sensor.h"

namespace kq7tool {

struct ServeOptions {
    std::string listen;  // "HOST:PORT"; empty: the loopback address and fixed port
    std::vector<std::string> allowHosts;  // more names the Host header may give
};

// Serves the sensor at `sensor`'s place until SIGINT or SIGTERM, then stops
// the acquisition (cancelling the call that runs); the device stays with
// `sensor`.
// Throws Failure.
void RunServe(Sensor& sensor, const ServeOptions& options);

}  // namespace kq7tool
