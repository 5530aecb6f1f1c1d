/* SPDX-License-Identifier: MIT */
// kq7 stream: `count` spectra one after another, a CSV row each, written as
// they come; the acquisition engine captures them.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "kq7/acquisition/engine.h"
#include "kq7/commands/command.h"
#include "kq7/commands/measurement_options.h"
#include "kq7/commands/spectrum_output.h"
#include "kq7/console.h"
#include "kq7/diagnostics.h"
#include "kq7/distinct_files.h"
#include "kq7/formats/file_format.h"
#include "kq7/formats/nexus_writer.h"
#include "kq7/interrupt.h"
#include "kq7/measure/boxcar.h"
#include "kq7/output_paths.h"
#include "kq7/utc_time.h"
#include "options/numbers.h"

namespace kq7tool {

namespace {

// How often the waiting command looks for Ctrl-C.
constexpr std::chrono::milliseconds kInterruptPoll{20};

struct StreamOptions {
    int shutter = 0;
    int count = 0;
    double intervalSeconds = 0;  // from the start of one capture to the next
    bool strict = false;
    std::string csvPath;  // or .h5: HDF5/NeXus
    bool metadata = true;
    int average = 1;
    MeasurementOptions measurement;
};

// The rows to the file, or ("-") the data output. The file is opened once
// the sensor is identified, so that a sensor that never answers leaves none.
class StreamCsvSink : public Sink {
public:
    StreamCsvSink(const Sensor& sensor, const StreamOptions& options, Measurement& measurement)
        : sensor_(sensor),
          options_(options),
          measurement_(measurement),
          where_(ToDataOutput(options.csvPath) ? "standard output" : options.csvPath) {}

    void OnSensor(const SensorInfoC& info, const std::vector<double>& wavelengthsNm) override {
        if (Started()) {
            return;
        }
        CsvMetadata metadata = MetadataFor(info, sensor_.Place().port, sensor_.Place().virtualSensor);
        metadata.shutter = options_.shutter;
        metadata.averages = options_.average;
        // Before the first capture: a reference that does not fit ends the run.
        CheckMeasurement(measurement_, options_.measurement, info, options_.shutter, options_.average, metadata);
        bands_ = wavelengthsNm.size();
        start_ = std::chrono::system_clock::now();
        metadata.timeUtc = UtcTimestamp(start_);
        if (FormatOf(options_.csvPath) == FileFormat::Nexus) {
            SpectrumHeader header;
            header.title = std::string(info.identField1) + "-" + info.identField2 + " stream";
            header.wavelengthsNm = wavelengthsNm;
            header.quantity = measurement_.quantity;
            header.metadata = MetadataFieldsOf(metadata);
            nexus_ = OpenNexusStream(options_.csvPath, header);
            return;
        }
        if (ToDataOutput(options_.csvPath)) {
            out_ = &std::cout;
        } else {
            errno = 0;
            file_.open(options_.csvPath, std::ios::binary);
            if (!file_) {
                CannotWrite(options_.csvPath, errno);
            }
            out_ = &file_;
        }
        if (options_.metadata) {
            WriteMetadata(*out_, metadata);
        }
        WriteStreamHeader(*out_, wavelengthsNm);
    }

    void OnStatus(const Status& status) override {
        if (status.state != State::Disconnected) {
            return;
        }
        if (status.lastError != shownError_) {
            SayWarning(StatusText(status) + " (" + status.lastError + ")");
            shownError_ = status.lastError;
        }
        if (!disconnectedSince_) {
            disconnectedSince_ = std::chrono::steady_clock::now();
            ++disconnections_;
        }
    }

    void OnSpectrum(const CapturedSpectrum& spectrum) override {
        if (disconnectedSince_) {
            withoutData_ += std::chrono::steady_clock::now() - *disconnectedSince_;
            disconnectedSince_.reset();
            SayError("capturing again");
        }
        const std::vector<double> values = Boxcar(spectrum.values, measurement_.boxcarHalfWidth);
        invalidBands_ = std::max(invalidBands_, spectrum.invalidBands);
        if (nexus_) {
            const std::chrono::duration<double> since = spectrum.capturedAt - start_;
            nexus_->Append(since.count(), values);
        } else {
            errno = 0;  // the sensor's reads on this thread leave EAGAIN and EINTR in it
            WriteStreamRow(*out_, UtcTimestamp(spectrum.capturedAt, true), spectrum.shutter, values);
            if (!*out_) {
                CannotWrite(where_, errno);
            }
        }
        ++written_;
        saturatedRows_ += spectrum.saturated ? 1 : 0;
    }

    // Whether the sensor was identified and the header written.
    bool Started() const { return out_ != nullptr || nexus_ != nullptr; }
    const std::string& Where() const { return where_; }
    int Written() const { return written_; }
    int SaturatedRows() const { return saturatedRows_; }
    // The most bands left empty in one spectrum.
    int InvalidBands() const { return invalidBands_; }
    size_t Bands() const { return bands_; }

    // "2 disconnections, 14.2 s without data", or "" when there was none.
    std::string Disconnections() const {
        if (disconnections_ == 0) {
            return "";
        }
        std::chrono::duration<double> gap = withoutData_;
        if (disconnectedSince_) {
            gap += std::chrono::steady_clock::now() - *disconnectedSince_;
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", gap.count());
        return std::to_string(disconnections_) + (disconnections_ == 1 ? " disconnection, " : " disconnections, ") +
               seconds + " s without data";
    }

private:
    const Sensor& sensor_;
    const StreamOptions& options_;
    Measurement& measurement_;
    std::chrono::system_clock::time_point start_;
    std::unique_ptr<SpectrumStream> nexus_;
    int invalidBands_ = 0;
    size_t bands_ = 0;
    const std::string where_;
    std::ofstream file_;
    std::ostream* out_ = nullptr;
    int written_ = 0;
    int saturatedRows_ = 0;
    std::string shownError_;
    std::optional<std::chrono::steady_clock::time_point> disconnectedSince_;
    std::chrono::steady_clock::duration withoutData_{0};
    int disconnections_ = 0;
};

void RunStream(Sensor& sensor, const StreamOptions& options) {
    CheckDistinctFiles({{"-o", options.csvPath}, {"--reference", options.measurement.referencePath}}, sensor.Place());
    if (FormatOf(options.csvPath) == FileFormat::Nexus) {
        CheckNexusPath(options.csvPath);
    }
    CheckWritable(options.csvPath);
    Measurement measurement = ReadMeasurement(options.measurement);
    StreamCsvSink sink(sensor, options, measurement);
    Pacing pacing;
    pacing.interval = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(options.intervalSeconds));
    pacing.count = static_cast<uint64_t>(options.count);
    pacing.reconnect = !options.strict;
    Settings settings;
    settings.shutter = options.shutter;
    settings.average = options.average;
    settings.quantity = measurement.quantity;
    Engine engine(sensor, settings, pacing);
    engine.AddSink(sink);
    if (measurement.reference) {
        engine.UseReference(*measurement.reference);
        engine.TakeDark();
    }
    engine.Start();
    try {
        while (!engine.WaitFor(kInterruptPoll)) {
            if (Interrupted()) {
                engine.Stop();
                break;
            }
        }
    } catch (const Failure& failure) {
        if (failure.Status() != kExitInterrupted) {
            throw;
        }
    }
    if (!sink.Disconnections().empty()) {
        SayError(sink.Disconnections());
    }
    if (Interrupted() && !sink.Started()) {
        throw Failure(kExitInterrupted, "interrupted");
    }
    if (Interrupted()) {
        throw Failure(kExitInterrupted, "interrupted after " + std::to_string(sink.Written()) + " of " +
                                            std::to_string(options.count) + " spectra; " + sink.Where() +
                                            " holds them");
    }
    // On the data output only when that is not the stream itself.
    const std::string summary = "wrote " + std::to_string(sink.Written()) + " spectra to " + sink.Where() + "\n";
    if (ToDataOutput(options.csvPath)) {
        Say(summary);
    } else {
        WriteData(summary);
    }
    WarnInvalidBands(measurement, sink.InvalidBands(), sink.Bands());
    if (sink.SaturatedRows() > 0) {
        Doubt(std::to_string(sink.SaturatedRows()) + " of " + std::to_string(sink.Written()) +
                  " spectra saturated (a band at full scale): use a shorter shutter value",
              kExitSaturated, options.strict);
    }
}

}  // namespace

void AddStream(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<StreamOptions>();
    CLI::App* command = app.add_subcommand("stream", "Capture spectra one after another, a CSV row each");
    command->add_option("--shutter", options->shutter, "Shutter value")->required()->check(kq7options::WholeNumberIn(1, 1000000));
    command->add_option("--count", options->count, "Number of spectra")->required()->check(kq7options::WholeNumberIn(1, 100000000));
    command->add_option("--interval", options->intervalSeconds, "Seconds from the start of one capture to the next")
        ->check(kq7options::DecimalNumberIn(0.0, 86400.0));
    command->add_option("--average", options->average, "Average this many captures into each spectrum")
        ->check(kq7options::WholeNumberIn(1, 1000));
    command->add_option("-o,--output", options->csvPath,
                        "CSV file, written row by row ('-': standard output), or HDF5/NeXus (.h5)")
        ->required();
    command->add_flag("!--no-metadata", options->metadata, "Leave out the '# key: value' lines ahead of the header");
    command->add_flag("--strict", options->strict, "Fail (exit 7) when a spectrum is saturated, and (exit 2) when the port fails instead of waiting for "
                      "the sensor to come back");
    AddMeasurementOptions(*command, options->measurement);
    RunWhenChosen(*command, chosen, options, RunStream);
}

}  // namespace kq7tool
