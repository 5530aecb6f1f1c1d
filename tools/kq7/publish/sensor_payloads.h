/* SPDX-License-Identifier: MIT */
// The retained payloads of a sensor: PREFIX/SERIAL/info (what it is) and
// PREFIX/SERIAL/status (what its publisher does), both JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kq7/formats/csv.h"
#include "nerb_kq7lib.h"

namespace kq7publish {

struct SensorDescription {
    // model, serial, coefficients, both versions, port and virtual sensor;
    // the run's fields (time, shutter, averages, dark) are not part of it.
    kq7tool::CsvMetadata sensor;
    std::vector<double> wavelengthsNm;  // band 1 first; its size is the band count
    std::string host;                   // the publisher's machine
    int fullScale = 0;                  // the counts of a saturated band; 0: not told
};

// The record of an identified sensor on `port`, on this machine.
SensorDescription DescribeSensor(const SensorInfoC& info, const std::string& port, bool virtualSensor);

std::string EncodeInfo(const SensorDescription& description);
// Empty when `payload` was read into `description`, else the reason.
std::string DecodeInfo(const std::string& payload, SensorDescription& description);

// Offline is the last will: the broker's word for a publisher gone silent.
enum class PublisherState { Online, Capturing, NoAnswer, Disconnected, Offline };
const char* StateWord(PublisherState state);

struct StatusMessage {
    PublisherState state = PublisherState::Online;
    uint64_t timeMs = 0;  // UTC; 0 in the last will, which is written at connection time
    bool acceptsSettings = false;
    uint64_t droppedSpectra = 0;  // by the full outgoing queue since the start
    // The publisher's run, made up at its start: two runs that claim the
    // same serial number tell each other apart by it.
    std::string instance;
};

std::string EncodeStatus(const StatusMessage& status);
// The last will: {"state":"offline","instance":...}.
std::string OfflineWill(const std::string& instance);
// 64 random bits as 16 hexadecimal digits.
std::string NewInstanceId();
// Empty when `payload` was read into `status`, else the reason.
std::string DecodeStatus(const std::string& payload, StatusMessage& status);

}  // namespace kq7publish
