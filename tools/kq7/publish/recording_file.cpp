/* SPDX-License-Identifier: MIT */
#include "kq7/publish/recording_file.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "kq7/failure.h"
#include "kq7/formats/csv.h"
#include "kq7/formats/nexus_writer.h"
#include "kq7/output_paths.h"
#include "kq7/utc_time.h"

namespace kq7publish {

namespace {

std::string TimeText(uint64_t timeMs) {
    return kq7tool::UtcTimestamp(std::chrono::system_clock::time_point(std::chrono::milliseconds(timeMs)), true);
}

std::string FreeFileName(const std::string& folder, const std::string& serial, uint64_t timeMs,
                         const std::string& extension) {
    std::string compact;
    for (const char c : TimeText(timeMs)) {
        if (c != '-' && c != ':') {
            compact += c;
        }
    }
    const std::string stem = folder + "/" + serial + "-" + compact;
    std::string path = stem + extension;
    for (int n = 2; std::filesystem::exists(path); ++n) {
        path = stem + "-" + std::to_string(n) + extension;
    }
    return path;
}

class CsvRecordingFile : public RecordingFile {
public:
    explicit CsvRecordingFile(std::string path) : path_(std::move(path)) {}

    // Empty when the file is open with its metadata and header, else why not.
    std::string Start(const kq7tool::CsvMetadata& metadata, const std::vector<double>& wavelengthsNm) {
        errno = 0;
        file_.open(path_, std::ios::binary);
        if (!file_) {
            return kq7tool::CannotWriteText(path_, errno);
        }
        kq7tool::WriteMetadata(file_, metadata);
        kq7tool::WriteStreamHeader(file_, wavelengthsNm);
        return file_ ? "" : kq7tool::CannotWriteText(path_, errno);
    }

    std::string Append(const SpectrumMessage& spectrum) override {
        errno = 0;  // the broker client's reads on this thread leave EAGAIN in it
        kq7tool::WriteStreamRow(file_, TimeText(spectrum.timeMs), spectrum.shutter, spectrum.counts);
        return file_ ? "" : kq7tool::CannotWriteText(path_, errno);
    }

private:
    std::string path_;
    std::ofstream file_;
};

// Row times are seconds from the first spectrum's, which the file states as
// its start; a spectrum that came late after a reconnection has a negative one.
class NexusRecordingFile : public RecordingFile {
public:
    NexusRecordingFile(std::unique_ptr<kq7tool::SpectrumStream> stream, uint64_t startMs)
        : stream_(std::move(stream)), startMs_(startMs) {}

    std::string Append(const SpectrumMessage& spectrum) override {
        const double seconds =
            static_cast<double>(static_cast<int64_t>(spectrum.timeMs - startMs_)) / 1000.0;
        try {
            stream_->Append(seconds, spectrum.counts);
        } catch (const kq7tool::Failure& failure) {
            return failure.what();
        }
        return "";
    }

private:
    std::unique_ptr<kq7tool::SpectrumStream> stream_;
    uint64_t startMs_;
};

}  // namespace

bool ShutterPerFile(kq7tool::FileFormat format) { return format == kq7tool::FileFormat::Nexus; }

std::unique_ptr<RecordingFile> StartRecordingFile(kq7tool::FileFormat format, const std::string& folder,
                                                  const std::string& serial, const SensorDescription& info,
                                                  const SpectrumMessage& first, std::string& path,
                                                  std::string& problem) {
    const bool nexus = format == kq7tool::FileFormat::Nexus;
    path = FreeFileName(folder, serial, first.timeMs, nexus ? ".h5" : ".csv");
    kq7tool::CsvMetadata metadata = info.sensor;
    metadata.timeUtc = TimeText(first.timeMs);
    metadata.port = info.host + ":" + info.sensor.port;
    metadata.shutter = first.shutter;
    metadata.averages = first.averages;
    metadata.darkSubtracted = first.darkSubtracted;
    if (!nexus) {
        auto file = std::make_unique<CsvRecordingFile>(path);
        problem = file->Start(metadata, info.wavelengthsNm);
        if (!problem.empty()) {
            return nullptr;
        }
        return file;
    }
    kq7tool::SpectrumHeader header;
    header.title = metadata.model + "-" + metadata.serial + " recording";
    header.wavelengthsNm = info.wavelengthsNm;
    header.metadata = kq7tool::MetadataFieldsOf(metadata);
    try {
        return std::make_unique<NexusRecordingFile>(kq7tool::OpenNexusStream(path, header), first.timeMs);
    } catch (const kq7tool::Failure& failure) {
        problem = failure.what();
        return nullptr;
    }
}

}  // namespace kq7publish
