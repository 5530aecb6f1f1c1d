/* SPDX-License-Identifier: MIT */
// Writes what a Subscriber hears into one file per sensor, stream CSV or
// HDF5/NeXus (recording_file.h), its metadata taken from the sensor's info
// and first spectrum, each row flushed. A sensor starts a new file when its
// info changes, or its averages or dark subtraction, which the metadata
// states once for the whole file (and in HDF5 the shutter value too). Rows
// are in the order of arrival, which after a reconnection is not always that
// of time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kq7/formats/file_format.h"
#include "kq7/publish/recording_file.h"
#include "kq7/publish/sensor_payloads.h"
#include "kq7/publish/sequence_tally.h"
#include "kq7/publish/spectrum_payload.h"
#include "kq7/publish/topics.h"

namespace kq7publish {

struct RecordedSensor {
    std::string serial;  // its topic level
    std::vector<std::string> files;
    uint64_t rows = 0;
    uint64_t missing = 0;     // spectra that never came (see SequenceTally)
    uint64_t duplicates = 0;  // spectra that came twice (QoS 1), recorded once
};

class Recorder {
public:
    // `sensors`: the serials (topic levels) to record; empty: all. `format`:
    // Csv or Nexus.
    Recorder(std::string folder, std::set<std::string> sensors, kq7tool::FileFormat format = kq7tool::FileFormat::Csv);

    // One message from the Subscriber, on any thread. Empty when it was
    // recorded or is none of the recorder's business (status), else why not.
    std::string Take(const SensorTopicName& topic, const std::string& payload);

    std::vector<RecordedSensor> Summary() const;

private:
    struct Sensor {
        std::string infoPayload;
        SensorDescription info;
        std::unique_ptr<RecordingFile> file;  // none before the first spectrum, or after new info
        int shutter = 0;
        int averages = 0;
        bool darkSubtracted = false;
        SequenceTally sequences;
        RecordedSensor record;
    };
    std::string TakeSpectrum(Sensor& sensor, const std::string& payload);
    std::string OpenFile(Sensor& sensor, const SpectrumMessage& first);

    std::string folder_;
    std::set<std::string> wanted_;
    kq7tool::FileFormat format_;
    mutable std::mutex mutex_;
    std::map<std::string, Sensor> sensors_;
};

}  // namespace kq7publish
