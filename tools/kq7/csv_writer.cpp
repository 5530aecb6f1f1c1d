/* SPDX-License-Identifier: MIT */
#include "kq7/csv_writer.h"

#include <cstdio>

namespace kq7tool {

std::string SpectrumCsv(const Spectrum& spectrum) {
    std::string csv = "band,wavelength_nm,counts\n";
    char row[96];
    for (size_t i = 0; i < spectrum.counts.size() && i < spectrum.wavelengthsNm.size(); ++i) {
        // Counts are whole numbers unless averaged; %g writes them without a
        // fraction then.
        std::snprintf(row, sizeof row, "%zu,%.3f,%.6g\n", i + 1, spectrum.wavelengthsNm[i], spectrum.counts[i]);
        csv += row;
    }
    return csv;
}

}  // namespace kq7tool
