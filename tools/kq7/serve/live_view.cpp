/* SPDX-License-Identifier: MIT */
#include "kq7/serve/live_view.h"

#include "kq7/serve/messages.h"

namespace kq7serve {

void LiveView::OnSensor(const SensorInfoC& info, const std::vector<double>& wavelengthsNm) {
    wavelengthsNm_ = wavelengthsNm;
    broadcast_.Publish(Topic::Sensor, SensorMessage(info, wavelengthsNm));
}

void LiveView::OnStatus(const kq7tool::Status& status) { broadcast_.Publish(Topic::Status, StatusMessage(status)); }

void LiveView::OnSpectrum(const kq7tool::CapturedSpectrum& spectrum) {
    broadcast_.Publish(Topic::Spectrum, SpectrumMessage(spectrum, wavelengthsNm_));
    std::lock_guard<std::mutex> lock(mutex_);
    shown_ = spectrum;
}

std::optional<kq7tool::CapturedSpectrum> LiveView::Shown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

}  // namespace kq7serve
