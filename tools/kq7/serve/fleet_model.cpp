/* SPDX-License-Identifier: MIT */
#include "kq7/serve/fleet_model.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "kq7/acquisition/state.h"
#include "kq7/serve/json_object.h"
#include "kq7/serve/messages.h"

namespace kq7serve {

namespace {

// Spectra over which a sensor's rate is measured; none for this long: rate 0.
constexpr std::size_t kRateWindow = 16;
constexpr std::chrono::seconds kRateTimeout{5};
// The sensor's own full scale when its info does not say.
constexpr int kUsualFullScale = 65535;

// The identification record that the page's sensor and spectrum events are made from.
SensorInfoC InfoFor(const kq7publish::SensorDescription& description) {
    SensorInfoC info{};
    std::snprintf(info.identField1, sizeof info.identField1, "%s", description.sensor.model.c_str());
    std::snprintf(info.identField2, sizeof info.identField2, "%s", description.sensor.serial.c_str());
    info.bandnumber = static_cast<int32_t>(description.wavelengthsNm.size());
    info.maxValue = description.fullScale > 0 ? description.fullScale : kUsualFullScale;
    for (size_t i = 0; i < description.sensor.coefficients.size(); ++i) {
        info.coeff[i] = static_cast<float>(description.sensor.coefficients[i]);
    }
    return info;
}

// "no_answer" -> "no answer"
std::string Sentence(const char* word) {
    std::string text = word;
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

}  // namespace

void FleetModel::Take(const kq7publish::SensorTopicName& topic, const std::string& payload, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    Member& member = members_[topic.serial];
    switch (topic.kind) {
    case kq7publish::TopicKind::Info: {
        kq7publish::SensorDescription info;
        if (kq7publish::DecodeInfo(payload, info).empty()) {
            member.info = info;
            member.events->Publish(Topic::Sensor, SensorMessage(InfoFor(info), info.wavelengthsNm));
        }
        break;
    }
    case kq7publish::TopicKind::Status:
        if (kq7publish::DecodeStatus(payload, member.status).empty()) {
            PublishStatus(member);
        }
        break;
    case kq7publish::TopicKind::Spectrum: {
        kq7publish::SpectrumMessage spectrum;
        if (!kq7publish::DecodeSpectrum(payload, spectrum).empty()) {
            break;
        }
        const bool settingsChanged = !member.last || member.last->shutter != spectrum.shutter ||
                                     member.last->averages != spectrum.averages ||
                                     member.last->darkSubtracted != spectrum.darkSubtracted;
        member.last = std::move(spectrum);
        member.lastAt = now;
        if (member.arrivals.size() == kRateWindow) {
            member.arrivals.pop_front();
        }
        member.arrivals.push_back(now);
        if (settingsChanged) {
            PublishStatus(member);
        }
        PublishSpectrum(member);
        break;
    }
    default:
        break;
    }
}

// The page's status event: the publisher's state, and the settings of its last spectrum.
void FleetModel::PublishStatus(Member& member) {
    const char* word = kq7publish::StateWord(member.status.state);
    JsonObject settings;
    settings.Number("shutter", member.last ? member.last->shutter : 0)
        .Number("average", member.last ? member.last->averages : 1)
        .Flag("subtractDark", member.last && member.last->darkSubtracted)
        .Flag("paused", member.status.state == kq7publish::PublisherState::Online);
    member.events->Publish(Topic::Status, JsonObject()
                                              .Text("state", word)
                                              .Text("text", Sentence(word))
                                              .Text("lastError", "")
                                              .Flag("acceptsSettings", member.status.acceptsSettings)
                                              .Object("settings", settings)
                                              .Str());
}

void FleetModel::PublishSpectrum(Member& member) {
    if (!member.info || !member.last) {
        return;
    }
    kq7tool::CapturedSpectrum spectrum;
    spectrum.sequence = member.last->sequence;
    spectrum.info = InfoFor(*member.info);
    spectrum.counts = member.last->counts;
    spectrum.shutter = member.last->shutter;
    spectrum.average = member.last->averages;
    spectrum.darkSubtracted = member.last->darkSubtracted;
    spectrum.saturated = member.last->saturatedBands > 0;
    spectrum.saturatedBands = member.last->saturatedBands;
    spectrum.capturesPerSecond = Rate(member);
    member.events->Publish(Topic::Spectrum, SpectrumMessage(spectrum, member.info->wavelengthsNm));
}

double FleetModel::Rate(const Member& member) {
    if (member.arrivals.size() < 2) {
        return 0;
    }
    const std::chrono::duration<double> span = member.arrivals.back() - member.arrivals.front();
    return span.count() > 0 ? static_cast<double>(member.arrivals.size() - 1) / span.count() : 0.0;
}

std::string FleetModel::ListJson(Clock::time_point now) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string list;
    for (const auto& [serial, member] : members_) {
        JsonObject entry;
        entry.Text("serial", serial)
            .Text("model", member.info ? member.info->sensor.model : "")
            .Text("host", member.info ? member.info->host : "")
            .Text("state", kq7publish::StateWord(member.status.state))
            .Flag("acceptsSettings", member.status.acceptsSettings);
        if (member.lastAt) {
            const std::chrono::duration<double> age = now - *member.lastAt;
            entry.Number("age", age.count()).Number("rate", age > kRateTimeout ? 0.0 : Rate(member));
        } else {
            entry.Number("age", std::numeric_limits<double>::quiet_NaN()).Number("rate", 0);
        }
        list += (list.empty() ? "" : ",") + entry.Str();
    }
    return "[" + list + "]";
}

Broadcast* FleetModel::Events(const std::string& serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = members_.find(serial);
    return found == members_.end() ? nullptr : found->second.events.get();
}

bool FleetModel::AcceptsSettings(const std::string& serial) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = members_.find(serial);
    return found != members_.end() && found->second.status.acceptsSettings;
}

void FleetModel::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : members_) {
        entry.second.events->Close();
    }
}

}  // namespace kq7serve
