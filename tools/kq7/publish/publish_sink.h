/* SPDX-License-Identifier: MIT */
// kq7 publish's sink on the acquisition engine: what the engine hands on
// goes to a Publisher for the identified sensor, and settings from the broker
// go back to the engine as requests. It never waits for the network.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kq7/acquisition/engine.h"
#include "kq7/acquisition/sink.h"
#include "kq7/device/sensor.h"
#include "kq7/publish/publisher.h"

namespace kq7publish {

// The status word for an engine state.
PublisherState StateFor(kq7tool::State state);

// Hands what a valid settings request asks for to `engine`.
void ApplySettings(const SettingsRequest& request, kq7tool::Engine& engine);

class PublishSink : public kq7tool::Sink {
public:
    // The topics follow the serial number, known once the sensor answers.
    PublishSink(PublisherOptions options, kq7tool::SensorPlace place, kq7tool::Engine& engine);

    void OnSensor(const SensorInfoC& info, const std::vector<double>& wavelengthsNm) override;
    void OnStatus(const kq7tool::Status& status) override;
    void OnSpectrum(const kq7tool::CapturedSpectrum& spectrum) override;

    // The publisher of the sensor; nullptr until it answered.
    std::shared_ptr<Publisher> Current() const;
    uint64_t Published() const;

private:
    const PublisherOptions options_;
    const kq7tool::SensorPlace place_;
    kq7tool::Engine& engine_;
    mutable std::mutex mutex_;  // OnStatus comes from other threads too
    std::shared_ptr<Publisher> publisher_;
    std::string serial_;
    PublisherState state_ = PublisherState::Online;
    uint64_t published_ = 0;
};

}  // namespace kq7publish
