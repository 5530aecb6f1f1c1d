/* SPDX-License-Identifier: MIT */
#include "kq7/port/sensor_finder.h"

#include <algorithm>
#include <cstdlib>

#include "kq7/failure.h"

namespace kq7tool {

std::vector<std::string> CandidatePorts(const std::vector<ListedPort>& listed, bool all) {
    std::vector<std::string> paths;
    const auto add = [&paths](const std::string& path) {
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
            paths.push_back(path);
        }
    };
    for (const ListedPort& port : listed) {
        if (all || IsLikelySensorPort(port)) {
            add(port.path);
        }
    }
    for (const std::string& path : PortsNamedIn(std::getenv("KQ7_PORTS"))) {
        add(path);
    }
    return paths;
}

std::string FindSensorPort(const std::string& serial, int baud) {
    const std::vector<ProbeResult> probes = ProbePorts(CandidatePorts(ListSerialPorts(), false), baud, kProbeLimit);
    std::vector<std::string> matches;
    std::string found;
    for (const ProbeResult& probe : probes) {
        if (probe.outcome == ProbeOutcome::Sensor && probe.sensor.serial == serial) {
            matches.push_back(probe.port);
        }
        found += "\n  " + ProbeLine(probe);
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    const std::string what = matches.empty() ? "no port holds sensor " + serial
                                             : std::to_string(matches.size()) + " ports hold sensor " + serial;
    throw Failure(kExitPortError, what + (probes.empty() ? "; no serial port found (KQ7_PORTS names more)"
                                                         : "; found:" + found));
}

}  // namespace kq7tool
