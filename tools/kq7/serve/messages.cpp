/* SPDX-License-Identifier: MIT */
#include "kq7/serve/messages.h"

#include "kq7/serve/json_object.h"

namespace kq7serve {

Peak FindPeak(const std::vector<double>& counts, const std::vector<double>& wavelengthsNm, int fullScale) {
    Peak peak;
    for (size_t i = 0; i < counts.size(); ++i) {
        if (i == 0 || counts[i] > peak.counts) {
            peak.counts = counts[i];
            peak.band = static_cast<int>(i) + 1;
            peak.wavelengthNm = i < wavelengthsNm.size() ? wavelengthsNm[i] : 0.0;
        }
    }
    peak.percentOfFullScale = fullScale > 0 ? 100.0 * peak.counts / fullScale : 0.0;
    return peak;
}

std::string SensorMessage(const SensorInfoC& info, const std::vector<double>& wavelengthsNm) {
    return JsonObject()
        .Text("model", info.identField1)
        .Text("serial", info.identField2)
        .Number("bands", info.bandnumber)
        .Number("fullScale", info.maxValue)
        .Numbers("coefficients", {info.coeff[0], info.coeff[1], info.coeff[2], info.coeff[3]})
        .Numbers("wavelengths", wavelengthsNm)
        .Str();
}

std::string StatusMessage(const kq7tool::Status& report) {
    JsonObject settings;
    settings.Number("shutter", report.settings.shutter)
        .Number("average", report.settings.average)
        .Flag("subtractDark", report.settings.subtractDark)
        .Flag("paused", report.settings.paused)
        .Text("quantity", kq7tool::QuantityName(report.settings.quantity));
    JsonObject status;
    status.Text("state", kq7tool::StateName(report.state))
        .Text("text", kq7tool::StatusText(report))
        .Text("lastError", report.lastError)
        .Object("settings", settings);
    if (report.darkShutter) {
        status.Number("darkShutter", *report.darkShutter);
    }
    if (report.referenceShutter) {
        status.Number("referenceShutter", *report.referenceShutter);
    }
    return status.Str();
}

std::string SpectrumMessage(const kq7tool::CapturedSpectrum& spectrum, const std::vector<double>& wavelengthsNm) {
    const Peak peak = FindPeak(spectrum.counts, wavelengthsNm, spectrum.info.maxValue);
    JsonObject message;
    message.Number("sequence", static_cast<double>(spectrum.sequence))
        .Number("shutter", spectrum.shutter)
        .Number("average", spectrum.average)
        .Flag("darkSubtracted", spectrum.darkSubtracted)
        .Flag("saturated", spectrum.saturated)
        .Number("rate", spectrum.capturesPerSecond)
        .Object("peak", JsonObject()
                            .Number("counts", peak.counts)
                            .Number("band", peak.band)
                            .Number("nm", peak.wavelengthNm)
                            .Number("percent", peak.percentOfFullScale))
        .Numbers("counts", spectrum.counts)
        .Text("quantity", kq7tool::QuantityName(spectrum.quantity));
    // A measurement against the reference: its values beside the counts.
    if (spectrum.quantity != kq7tool::Quantity::Counts) {
        message.Numbers("values", spectrum.values).Number("invalidBands", spectrum.invalidBands);
    }
    return message.Str();
}

}  // namespace kq7serve
