/* SPDX-License-Identifier: MIT */
#include "kq7/publish/publish_sink.h"

#include <chrono>
#include <utility>

namespace kq7publish {

namespace {

// A publisher left for another sensor says "offline" on the way out, if it can at once.
constexpr std::chrono::milliseconds kHandOverWait{200};

}  // namespace

PublisherState StateFor(kq7tool::State state) {
    using kq7tool::State;
    switch (state) {
    case State::Identifying:
    case State::Paused:
        return PublisherState::Online;
    case State::Capturing:
    case State::SearchingExposure:
    case State::TakingDark:
        return PublisherState::Capturing;
    case State::NoAnswer:
    case State::Failing:
        return PublisherState::NoAnswer;
    default:
        // The engine's state for an adapter that is gone.
        return PublisherState::Disconnected;
    }
}

void ApplySettings(const SettingsRequest& request, kq7tool::Engine& engine) {
    kq7tool::SettingsChange change;
    change.shutter = request.shutter;
    change.average = request.averages;
    change.subtractDark = request.subtractDark;
    if (request.pause || request.resume) {
        change.paused = request.pause;
    }
    engine.Change(change);
    if (request.takeDark) {
        engine.TakeDark();
    }
    if (request.autoExposurePercent) {
        engine.SearchExposure(*request.autoExposurePercent);
    }
}

PublishSink::PublishSink(PublisherOptions options, kq7tool::SensorPlace place, kq7tool::Engine& engine)
    : options_(std::move(options)), place_(std::move(place)), engine_(engine) {}

void PublishSink::OnSensor(const SensorInfoC& info, const std::vector<double>&) {
    const SensorDescription description = DescribeSensor(info, place_.port, place_.virtualSensor);
    std::shared_ptr<Publisher> previous;
    std::shared_ptr<Publisher> publisher;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!publisher_ || description.sensor.serial != serial_) {
            previous = std::move(publisher_);
            serial_ = description.sensor.serial;
            publisher_ = std::make_shared<Publisher>(options_, TopicLevel(serial_),
                                                     [this](const SettingsRequest& request) {
                                                         ApplySettings(request, engine_);
                                                         return std::string();
                                                     });
            publisher_->Start();
        }
        publisher = publisher_;
        publisher->SetState(state_);
    }
    if (previous) {
        previous->Finish(kHandOverWait);
    }
    publisher->SetInfo(description);
}

void PublishSink::OnStatus(const kq7tool::Status& status) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = StateFor(status.state);
    if (publisher_) {
        publisher_->SetState(state_);
    }
}

void PublishSink::OnSpectrum(const kq7tool::CapturedSpectrum& spectrum) {
    SpectrumMessage message;
    message.timeMs = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(spectrum.capturedAt.time_since_epoch()).count());
    message.sequence = spectrum.sequence;
    message.shutter = spectrum.shutter;
    message.averages = spectrum.average;
    message.darkSubtracted = spectrum.darkSubtracted;
    message.saturatedBands = spectrum.saturatedBands;
    message.counts = spectrum.counts;
    const std::shared_ptr<Publisher> publisher = Current();
    publisher->PublishSpectrum(message);
    std::lock_guard<std::mutex> lock(mutex_);
    ++published_;
}

std::shared_ptr<Publisher> PublishSink::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return publisher_;
}

uint64_t PublishSink::Published() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_;
}

}  // namespace kq7publish
