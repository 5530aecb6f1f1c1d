/* SPDX-License-Identifier: MIT */
#include "kq7/port/sensor_probe.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "kq7/failure.h"
#include "kq7/port/serial_port.h"
#include "nerb_kq7lib.hpp"

namespace kq7tool {

namespace {

using Clock = std::chrono::steady_clock;

// Enough of what a port sent to recognise it in a table.
constexpr size_t kSeenBytesShown = 16;

// The two link functions of one probe: they end the identification at the
// deadline and at the first failure of the link, and keep the first bytes
// each way. Within the deadline the library's own resend schedule sends no
// query twice, except once right after a busy answer.
struct ProbeSession {
    ProbeSession(ByteLink& probed, Clock::time_point end, const std::atomic<bool>* stop)
        : link(probed), deadline(end), abandon(stop) {}

    ByteLink& link;
    Clock::time_point deadline;
    const std::atomic<bool>* abandon;
    kq7_device* device = nullptr;
    std::vector<uint8_t> sent;
    std::vector<uint8_t> seen;
    bool linkFailed = false;
};

void Keep(std::vector<uint8_t>& kept, const uint8_t* data, int64_t length) {
    const size_t room = kSeenBytesShown - std::min(kept.size(), kSeenBytesShown);
    kept.insert(kept.end(), data, data + std::min(static_cast<size_t>(length), room));
}

int64_t KQ7_CALL ProbeWrite(void* context, const uint8_t* data, int64_t length) {
    auto& session = *static_cast<ProbeSession*>(context);
    Keep(session.sent, data, length);
    if (session.link.Write(data, length) < 0) {
        session.linkFailed = true;
        kq7_cancel(session.device);
    }
    return length;
}

int64_t KQ7_CALL ProbeRead(void* context, uint8_t* dest, int64_t maxLength) {
    auto& session = *static_cast<ProbeSession*>(context);
    if (Clock::now() >= session.deadline || (session.abandon != nullptr && session.abandon->load())) {
        kq7_cancel(session.device);
        return 0;
    }
    const int64_t n = session.link.Read(dest, maxLength);
    if (n < 0) {
        session.linkFailed = true;
        kq7_cancel(session.device);
        return 0;
    }
    Keep(session.seen, dest, n);
    return n;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%s%02x", text.empty() ? "" : " ", byte);
        text += digits;
    }
    return text;
}

SensorIdentity IdentityOf(const SensorInfoC& info) {
    SensorIdentity identity;
    identity.model = std::string(info.identField1, strnlen(info.identField1, sizeof info.identField1));
    identity.serial = std::string(info.identField2, strnlen(info.identField2, sizeof info.identField2));
    identity.bands = info.bandnumber;
    std::vector<double> nm(static_cast<size_t>(std::max(info.bandnumber, 1)));
    if (kq7_wavelengths(&info, nm.data(), static_cast<int32_t>(nm.size())) > 0) {
        identity.firstNm = nm.front();
        identity.lastNm = nm.back();
    }
    return identity;
}

// A port that sends back its own requests passes them for replies.
bool Echoes(const ProbeSession& session) {
    return !session.seen.empty() && session.seen.size() <= session.sent.size() &&
           std::equal(session.seen.begin(), session.seen.end(), session.sent.begin());
}

ProbeResult Classify(const ProbeSession& session, int result) {
    ProbeResult probe;
    if (session.linkFailed) {
        probe.outcome = ProbeOutcome::Gone;
        probe.detail = session.link.Error();
    } else if (session.seen.empty()) {
        probe.outcome = ProbeOutcome::NoAnswer;
    } else if (Echoes(session)) {
        probe.outcome = ProbeOutcome::NotASensor;
        probe.detail = "echoes what it is sent";
    } else if (result == KQ7_ERR_BUSY || result == KQ7_ERR_BAD_IDENTIFICATION) {
        probe.outcome = ProbeOutcome::Unidentified;
        probe.detail = kq7_strerror(result);
    } else {
        probe.outcome = ProbeOutcome::NotASensor;
        probe.detail = "answered " + Hex(session.seen);
    }
    return probe;
}

#if !defined(_WIN32)
// What can be told without opening the port. A Windows COM name is no file.
bool ObviouslyNoPort(const std::string& path, ProbeResult& probe) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        probe.outcome = ProbeOutcome::Gone;
        probe.detail = "no such port";
        return true;
    }
    if (!S_ISCHR(status.st_mode)) {
        probe.outcome = ProbeOutcome::NotASerialPort;
        probe.detail = "not a device";
        return true;
    }
    return false;
}
#endif

ProbeOutcome OpenFailureOutcome(PortOpenError reason) {
    switch (reason) {
    case PortOpenError::InUse:
        return ProbeOutcome::InUse;
    case PortOpenError::NotASerialPort:
        return ProbeOutcome::NotASerialPort;
    case PortOpenError::Missing:
        return ProbeOutcome::Gone;
    case PortOpenError::Other:
        break;
    }
    return ProbeOutcome::CannotOpen;
}

}  // namespace

const char* ProbeOutcomeText(ProbeOutcome outcome) {
    switch (outcome) {
    case ProbeOutcome::Sensor:
        return "sensor";
    case ProbeOutcome::Unidentified:
        return "KQ7 sensor, not identified";
    case ProbeOutcome::NotASensor:
        return "not a KQ7 sensor";
    case ProbeOutcome::NoAnswer:
        return "no answer";
    case ProbeOutcome::InUse:
        return "in use";
    case ProbeOutcome::Gone:
        return "gone";
    case ProbeOutcome::NotASerialPort:
        return "not a serial port";
    case ProbeOutcome::CannotOpen:
        break;
    }
    return "cannot open";
}

ProbeResult ProbeLink(ByteLink& link, std::chrono::milliseconds limit, const std::atomic<bool>* abandon) {
    ProbeSession session(link, Clock::now() + limit, abandon);
    kq7::Device device(ProbeWrite, ProbeRead, &session);
    session.device = device.get();
    const int result = kq7_identify(device.get());
    if (result != KQ7_OK) {
        return Classify(session, result);
    }
    ProbeResult probe;
    probe.outcome = ProbeOutcome::Sensor;
    probe.sensor = IdentityOf(device.info());
    return probe;
}

ProbeResult ProbePort(const std::string& path, int baud, std::chrono::milliseconds limit,
                      const std::atomic<bool>* abandon) {
    ProbeResult probe;
#if !defined(_WIN32)
    if (ObviouslyNoPort(path, probe)) {
        probe.port = path;
        return probe;
    }
#endif
    try {
        SerialPort port(path, baud);
        probe = ProbeLink(port, limit, abandon);
    } catch (const PortOpenFailure& failure) {
        probe.outcome = OpenFailureOutcome(failure.Reason());
        probe.detail = failure.what();
    }
    probe.port = path;
    return probe;
}

std::vector<ProbeResult> ProbePorts(const std::vector<std::string>& paths, int baud,
                                    std::chrono::milliseconds limit, const std::atomic<bool>* abandon) {
    std::vector<ProbeResult> probes(paths.size());
    std::vector<std::thread> threads;
    threads.reserve(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        threads.emplace_back([&, i] { probes[i] = ProbePort(paths[i], baud, limit, abandon); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return probes;
}

std::string ProbeLine(const ProbeResult& probe) {
    if (probe.outcome == ProbeOutcome::Sensor) {
        return probe.port + ": sensor " + probe.sensor.model + " " + probe.sensor.serial;
    }
    return probe.port + ": " + ProbeOutcomeText(probe.outcome) + (probe.detail.empty() ? "" : " (" + probe.detail + ")");
}

}  // namespace kq7tool
