/* SPDX-License-Identifier: MIT */
// One file of a sensor's recording, in the format chosen for the run: the
// stream CSV of formats/csv.h or an HDF5/NeXus stream (formats/nexus_writer.h).
// Both carry the metadata of the sensor's info and the file's first spectrum;
// each row is on disk when Append returns.
#pragma once

#include <memory>
#include <string>

#include "kq7/formats/file_format.h"
#include "kq7/publish/sensor_payloads.h"
#include "kq7/publish/spectrum_payload.h"

namespace kq7publish {

class RecordingFile {
public:
    virtual ~RecordingFile() = default;
    // Empty when written, else why not.
    virtual std::string Append(const SpectrumMessage& spectrum) = 0;
};

// Whether a new shutter value needs a new file: the CSV has it on every
// row, the HDF5 file once for all of them.
bool ShutterPerFile(kq7tool::FileFormat format);

// A new file in `folder` named SERIAL-YYYYMMDDTHHMMSS.mmmZ.csv (or .h5) after
// `first`'s time, then -2, -3... should that name be taken. Null when it
// cannot be made, with the reason in `problem`; `path` is its name.
std::unique_ptr<RecordingFile> StartRecordingFile(kq7tool::FileFormat format, const std::string& folder,
                                                  const std::string& serial, const SensorDescription& info,
                                                  const SpectrumMessage& first, std::string& path,
                                                  std::string& problem);

}  // namespace kq7publish
