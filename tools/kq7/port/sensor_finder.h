/* SPDX-License-Identifier: MIT */
// Where to look for sensors, and which port holds the one with a given
// serial number.
#pragma once

#include <string>
#include <vector>

#include "kq7/port/port_list.h"
#include "kq7/port/sensor_probe.h"

namespace kq7tool {

// The ports to look at: those of `listed` that may have a sensor behind
// them (every one with `all`), then those of KQ7_PORTS; each once.
std::vector<std::string> CandidatePorts(const std::vector<ListedPort>& listed, bool all);

// The path of the one port on which the sensor `serial` answers. Throws
// Failure (kExitPortError) listing what was found when none or several do.
std::string FindSensorPort(const std::string& serial, int baud);

}  // namespace kq7tool
