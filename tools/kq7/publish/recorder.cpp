/* SPDX-License-Identifier: MIT */
#include "kq7/publish/recorder.h"

namespace kq7publish {

Recorder::Recorder(std::string folder, std::set<std::string> sensors, kq7tool::FileFormat format)
    : folder_(std::move(folder)), wanted_(std::move(sensors)), format_(format) {}

std::string Recorder::Take(const SensorTopicName& topic, const std::string& payload) {
    if (!wanted_.empty() && wanted_.count(topic.serial) == 0) {
        return "";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Sensor& sensor = sensors_[topic.serial];
    sensor.record.serial = topic.serial;
    if (topic.kind == TopicKind::Spectrum) {
        return TakeSpectrum(sensor, payload);
    }
    if (topic.kind != TopicKind::Info || payload == sensor.infoPayload) {
        return "";
    }
    SensorDescription info;
    const std::string reason = DecodeInfo(payload, info);
    if (!reason.empty()) {
        return topic.serial + ": " + reason;
    }
    sensor.infoPayload = payload;
    sensor.info = std::move(info);
    sensor.file.reset();  // the next spectrum starts a file with the new info
    return "";
}

std::string Recorder::TakeSpectrum(Sensor& sensor, const std::string& payload) {
    const std::string& serial = sensor.record.serial;
    if (sensor.infoPayload.empty()) {
        return serial + ": a spectrum before the sensor's info, not recorded";
    }
    SpectrumMessage spectrum;
    std::string reason = DecodeSpectrum(payload, spectrum);
    if (!reason.empty()) {
        return serial + ": " + reason;
    }
    if (spectrum.counts.size() != sensor.info.wavelengthsNm.size()) {
        return serial + ": a spectrum of " + std::to_string(spectrum.counts.size()) + " bands for a sensor of " +
               std::to_string(sensor.info.wavelengthsNm.size());
    }
    if (!sensor.sequences.Note(spectrum.sequence)) {
        ++sensor.record.duplicates;
        return "";
    }
    sensor.record.missing = sensor.sequences.Missing();
    if (!sensor.file || spectrum.averages != sensor.averages || spectrum.darkSubtracted != sensor.darkSubtracted ||
        (ShutterPerFile(format_) && spectrum.shutter != sensor.shutter)) {
        reason = OpenFile(sensor, spectrum);
        if (!reason.empty()) {
            return reason;
        }
    }
    reason = sensor.file->Append(spectrum);
    if (!reason.empty()) {
        return reason;
    }
    ++sensor.record.rows;
    return "";
}

std::string Recorder::OpenFile(Sensor& sensor, const SpectrumMessage& first) {
    sensor.file.reset();
    std::string path;
    std::string problem;
    sensor.file = StartRecordingFile(format_, folder_, sensor.record.serial, sensor.info, first, path, problem);
    if (!sensor.file) {
        return problem;
    }
    sensor.shutter = first.shutter;
    sensor.averages = first.averages;
    sensor.darkSubtracted = first.darkSubtracted;
    sensor.record.files.push_back(path);
    return "";
}

std::vector<RecordedSensor> Recorder::Summary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RecordedSensor> summary;
    for (const auto& entry : sensors_) {
        summary.push_back(entry.second.record);
    }
    return summary;
}

}  // namespace kq7publish
