/* SPDX-License-Identifier: MIT */
// HDF5 files laid out by the NeXus rules, so that viewers find the signal and
// its axis by themselves:
//
//   /entry                   NXentry  (default="data"): title, start_time
//     data                   NXdata   (signal=<quantity>, axes=...)
//       <quantity>           values; one spectrum, or one row for each spectrum
//       wavelength           nm
//       time                 s since start_time, one per row (streams only)
//     instrument             NXinstrument: name (the model)
//       detector             NXdetector: serial_number and every metadata
//                            pair (numbers as numbers, the rest as text)
//
// Invalid bands are NaN. Not in the Windows kq7 (no HDF5 there): these throw
// Failure saying so.
#pragma once

#include <memory>
#include <string>

#include "kq7/formats/spectrum_record.h"
#include "kq7/formats/spectrum_stream.h"

namespace kq7tool {

// Throws Failure unless an HDF5 file can be made at `path`: one there
// already is refused, and so is any without HDF5 in this kq7.
void CheckNexusPath(const std::string& path);

// One spectrum, written whole to a new file (WriteWholeFile): an existing
// `path` is refused. Throws Failure.
void WriteNexusFile(const std::string& path, const SpectrumRecord& record);

// A new file (an existing one is refused) whose data grow by one row per
// Append, each flushed to disk before Append returns, so that a killed
// process leaves a file that opens with every row appended before.
std::unique_ptr<SpectrumStream> OpenNexusStream(const std::string& path, const SpectrumHeader& header);

}  // namespace kq7tool
