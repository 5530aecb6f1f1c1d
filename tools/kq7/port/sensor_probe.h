/* SPDX-License-Identifier: MIT */
// Which sensor, if any, sits on a port: a short identification that sends
// nothing but the identification requests, each at most once, and gives up
// after a few hundred milliseconds.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "kq7/port/byte_link.h"

namespace kq7tool {

// Long enough for a sensor's three identification replies at 9600 baud;
// short enough that a port that never answers costs little.
constexpr std::chrono::milliseconds kProbeLimit{500};

enum class ProbeOutcome {
    Sensor,          // identified: see ProbeResult::sensor
    Unidentified,    // a KQ7 sensor that answered but did not identify (busy, a broken record)
    NotASensor,      // something answered that is no KQ7 sensor
    NoAnswer,        // nothing came back
    InUse,           // another program holds the port: it was not touched
    Gone,            // the port is not there (any more), or hung up during the probe
    NotASerialPort,  // /dev/null, a regular file
    CannotOpen,      // any other reason, such as a missing permission
};

// "sensor", "in use", "not a KQ7 sensor" ..., as tables print them.
const char* ProbeOutcomeText(ProbeOutcome outcome);

struct SensorIdentity {
    std::string model;
    std::string serial;
    int bands = 0;
    double firstNm = 0.0;  // the wavelength axis at the first and last band
    double lastNm = 0.0;
};

struct ProbeResult {
    std::string port;
    ProbeOutcome outcome = ProbeOutcome::NoAnswer;
    SensorIdentity sensor;  // with Sensor
    std::string detail;     // what was seen, or the system's reason; "" with Sensor
};

// Identifies the sensor on `link` within `limit`, or until `abandon` (when
// given) turns true.
ProbeResult ProbeLink(ByteLink& link, std::chrono::milliseconds limit,
                      const std::atomic<bool>* abandon = nullptr);

// Opens `path` exclusively at `baud` and probes it; a port another program
// holds is reported, not touched.
ProbeResult ProbePort(const std::string& path, int baud, std::chrono::milliseconds limit,
                      const std::atomic<bool>* abandon = nullptr);

// ProbePort on every path at once, one thread each; the results in the
// order of `paths`.
std::vector<ProbeResult> ProbePorts(const std::vector<std::string>& paths, int baud,
                                    std::chrono::milliseconds limit, const std::atomic<bool>* abandon = nullptr);

// "PORT: sensor MODEL SERIAL" or "PORT: in use (why)": a probe in one line.
std::string ProbeLine(const ProbeResult& probe);

}  // namespace kq7tool
