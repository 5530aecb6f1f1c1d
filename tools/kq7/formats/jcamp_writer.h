/* SPDX-License-Identifier: MIT */
// JCAMP-DX 5.01 for one spectrum, the exchange format that spectroscopy
// programs read. The axis is not evenly spaced, so the data are (XY..XY)
// pairs in plain decimal numbers (AFFN), one pair per line. Invalid bands
// are left out: each pair names its own wavelength, so a gap loses nothing,
// whereas the "?" that the format allows for a missing value stops many
// readers. ##$INVALID BANDS says how many were left out.
#pragma once

#include <string>

#include "kq7/formats/spectrum_record.h"

namespace kq7tool {

// The whole file: the required labelled data records (title, version, data
// type, origin, owner, units, factors, first and last values, number of
// points), every metadata pair as a ##$ user record (key in capitals, "_" as
// " "), the pairs and ##END=.
std::string JcampText(const SpectrumRecord& record);

// JcampText written whole to `path` (WriteWholeFile), replacing a file
// there. Throws Failure.
void WriteJcampFile(const std::string& path, const SpectrumRecord& record);

}  // namespace kq7tool
