/* SPDX-License-Identifier: MIT */
#include "kq7/publish/recorder.h"

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "kq7/formats/csv.h"
#include "kq7/output_paths.h"
#include "kq7/utc_time.h"

namespace kq7publish {

namespace {

std::chrono::system_clock::time_point TimeOf(uint64_t timeMs) {
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(timeMs));
}

// SERIAL-20261210T002000.125Z.csv, then -2, -3... should that name be taken.
std::string FreeFileName(const std::string& folder, const std::string& serial, uint64_t timeMs) {
    std::string stamp = kq7tool::UtcTimestamp(TimeOf(timeMs), true);
    std::string compact;
    for (const char c : stamp) {
        if (c != '-' && c != ':') {
            compact += c;
        }
    }
    const std::string stem = folder + "/" + serial + "-" + compact;
    std::string path = stem + ".csv";
    for (int n = 2; std::filesystem::exists(path); ++n) {
        path = stem + "-" + std::to_string(n) + ".csv";
    }
    return path;
}

}  // namespace

Recorder::Recorder(std::string folder, std::set<std::string> sensors)
    : folder_(std::move(folder)), wanted_(std::move(sensors)) {}

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
    sensor.needsNewFile = true;
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
    if (sensor.needsNewFile || spectrum.averages != sensor.averages ||
        spectrum.darkSubtracted != sensor.darkSubtracted) {
        reason = OpenFile(sensor, spectrum);
        if (!reason.empty()) {
            return reason;
        }
    }
    errno = 0;  // the broker client's reads on this thread leave EAGAIN in it
    kq7tool::WriteStreamRow(sensor.file, kq7tool::UtcTimestamp(TimeOf(spectrum.timeMs), true), spectrum.shutter,
                            spectrum.counts);
    if (!sensor.file) {
        return kq7tool::CannotWriteText(sensor.record.files.back(), errno);
    }
    ++sensor.record.rows;
    return "";
}

std::string Recorder::OpenFile(Sensor& sensor, const SpectrumMessage& first) {
    const std::string path = FreeFileName(folder_, sensor.record.serial, first.timeMs);
    sensor.file.close();
    sensor.file.clear();
    errno = 0;
    sensor.file.open(path, std::ios::binary);
    if (!sensor.file) {
        return kq7tool::CannotWriteText(path, errno);
    }
    kq7tool::CsvMetadata metadata = sensor.info.sensor;
    metadata.timeUtc = kq7tool::UtcTimestamp(TimeOf(first.timeMs), true);
    metadata.port = sensor.info.host + ":" + sensor.info.sensor.port;
    metadata.shutter = first.shutter;
    metadata.averages = first.averages;
    metadata.darkSubtracted = first.darkSubtracted;
    kq7tool::WriteMetadata(sensor.file, metadata);
    kq7tool::WriteStreamHeader(sensor.file, sensor.info.wavelengthsNm);
    sensor.needsNewFile = false;
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
