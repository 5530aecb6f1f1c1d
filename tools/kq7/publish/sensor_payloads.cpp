/* SPDX-License-Identifier: MIT */
#include "kq7/publish/sensor_payloads.h"

#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>

#include "kq7/publish/json_fields.h"
#include "kq7/publish/publish_limits.h"

namespace kq7publish {

namespace {

constexpr std::size_t kMaxInstanceLength = 64;
constexpr const char* kStateWords[] = {"online", "capturing", "no_answer", "disconnected", "offline"};

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return "";
    }
    return name;
}

}  // namespace

SensorDescription DescribeSensor(const SensorInfoC& info, const std::string& port, bool virtualSensor) {
    SensorDescription description;
    description.sensor = kq7tool::MetadataFor(info, port, virtualSensor);
    description.wavelengthsNm.resize(info.bandnumber > 0 ? static_cast<size_t>(info.bandnumber) : 0);
    const int bands = kq7_wavelengths(&info, description.wavelengthsNm.data(),
                                      static_cast<int32_t>(description.wavelengthsNm.size()));
    description.wavelengthsNm.resize(bands > 0 ? static_cast<size_t>(bands) : 0);
    description.host = HostName();
    description.fullScale = info.maxValue;
    return description;
}

std::string EncodeInfo(const SensorDescription& d) {
    const std::vector<double> coefficients(d.sensor.coefficients.begin(), d.sensor.coefficients.end());
    return JsonText(nlohmann::json{{"model", d.sensor.model},
                          {"serial", d.sensor.serial},
                          {"bands", d.wavelengthsNm.size()},
                          {"coefficients", coefficients},
                          {"wavelengths_nm", d.wavelengthsNm},
                          {"library_version", d.sensor.libraryVersion},
                          {"kq7_version", d.sensor.kq7Version},
                          {"host", d.host},
                          {"port", d.sensor.port},
                          {"virtual_sensor", d.sensor.virtualSensor},
                          {"full_scale", d.fullScale}});
}

std::string DecodeInfo(const std::string& payload, SensorDescription& d) {
    constexpr std::size_t kMaxText = 256;
    JsonFields fields(payload, "info", kMaxSensorMessageBytes);
    fields.Text("model", d.sensor.model, kMaxText);
    fields.Text("serial", d.sensor.serial, kMaxText);
    int bands = 0;
    fields.Whole("bands", bands, 1, std::numeric_limits<int>::max());
    std::vector<double> coefficients;
    fields.Numbers("coefficients", coefficients);
    fields.Numbers("wavelengths_nm", d.wavelengthsNm);
    fields.Text("library_version", d.sensor.libraryVersion, kMaxText);
    fields.Text("kq7_version", d.sensor.kq7Version, kMaxText);
    fields.Text("host", d.host, kMaxText);
    fields.Text("port", d.sensor.port, kMaxText);
    fields.Flag("virtual_sensor", d.sensor.virtualSensor);
    if (fields.Has("full_scale")) {
        fields.Whole("full_scale", d.fullScale, 0, std::numeric_limits<int>::max());
    }
    if (fields.Reason().empty() && coefficients.size() != d.sensor.coefficients.size()) {
        fields.Refuse("coefficients: " + std::to_string(coefficients.size()) + " values, not 4");
    }
    if (fields.Reason().empty() && d.wavelengthsNm.size() != static_cast<size_t>(bands)) {
        fields.Refuse("wavelengths_nm: " + std::to_string(d.wavelengthsNm.size()) + " values for " +
                      std::to_string(bands) + " bands");
    }
    if (fields.Reason().empty()) {
        std::copy(coefficients.begin(), coefficients.end(), d.sensor.coefficients.begin());
    }
    return fields.Reason();
}

const char* StateWord(PublisherState state) { return kStateWords[static_cast<int>(state)]; }

std::string EncodeStatus(const StatusMessage& s) {
    return JsonText(nlohmann::json{{"state", StateWord(s.state)},
                          {"time_ms", s.timeMs},
                          {"accepts_settings", s.acceptsSettings},
                          {"dropped_spectra", s.droppedSpectra},
                          {"instance", s.instance}});
}

std::string OfflineWill(const std::string& instance) {
    return JsonText(nlohmann::json{{"state", StateWord(PublisherState::Offline)}, {"instance", instance}});
}

std::string NewInstanceId() {
    std::random_device random;
    char digits[17];
    std::snprintf(digits, sizeof digits, "%08x%08x", static_cast<unsigned>(random()), static_cast<unsigned>(random()));
    return digits;
}

std::string DecodeStatus(const std::string& payload, StatusMessage& s) {
    JsonFields fields(payload, "status", kMaxSettingsBytes);
    std::string word;
    fields.Text("state", word, 16);
    bool known = false;
    for (size_t i = 0; i < std::size(kStateWords); ++i) {
        if (word == kStateWords[i]) {
            s.state = static_cast<PublisherState>(i);
            known = true;
        }
    }
    if (!known) {
        fields.Refuse("state \"" + word + "\" is none of the known ones");
    }
    // The last will carries the state alone.
    if (s.state != PublisherState::Offline || fields.Has("time_ms")) {
        fields.Unsigned("time_ms", s.timeMs);
        fields.Flag("accepts_settings", s.acceptsSettings);
        fields.Unsigned("dropped_spectra", s.droppedSpectra);
    }
    if (fields.Has("instance")) {
        fields.Text("instance", s.instance, kMaxInstanceLength);
    }
    return fields.Reason();
}

}  // namespace kq7publish
