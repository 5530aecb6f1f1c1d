/* SPDX-License-Identifier: MIT */
// The acquisition as the page sees it: each sensor, status and spectrum as
// an event, and the spectrum on the page for "save CSV".
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "kq7/acquisition/sink.h"
#include "kq7/serve/broadcast.h"

namespace kq7serve {

class LiveView : public kq7tool::Sink {
public:
    explicit LiveView(Broadcast& broadcast) : broadcast_(broadcast) {}

    void OnSensor(const SensorInfoC& info, const std::vector<double>& wavelengthsNm) override;
    void OnStatus(const kq7tool::Status& status) override;
    void OnSpectrum(const kq7tool::CapturedSpectrum& spectrum) override;

    // The spectrum on the page; nullopt before the first.
    std::optional<kq7tool::CapturedSpectrum> Shown() const;

private:
    Broadcast& broadcast_;
    std::vector<double> wavelengthsNm_;  // the acquisition thread's own
    mutable std::mutex mutex_;
    std::optional<kq7tool::CapturedSpectrum> shown_;
};

}  // namespace kq7serve
