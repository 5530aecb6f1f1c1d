/* SPDX-License-Identifier: MIT */
// What a spectrum's values are: counts, or a sample measured against a
// reference (the blank for transmittance and absorbance, a white standard for
// reflectance), each light spectrum with its own dark taken at its settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kq7tool {

enum class Quantity {
    Counts,
    Transmittance,  // (S - D) / (R - Dr), a fraction
    Absorbance,     // -log10 of the transmittance
    Reflectance,    // (S - D) / (R - Dr) against a white standard, a fraction
};

// "counts", "transmittance", "absorbance", "reflectance".
std::optional<Quantity> ParseQuantity(const std::string& name);
const char* QuantityName(Quantity quantity);
// What a plot's axis or a file's long name says: "Counts", "Transmittance
// (fraction)", "Absorbance", "Reflectance (fraction)".
const char* QuantityLabel(Quantity quantity);

// Below this many counts of reference light (reference minus its dark) a
// band is not divided by: at a read noise of a few counts the ratio would be
// noise, and near zero it heads for infinity.
constexpr double kMinReferenceLight = 50.0;

// One light spectrum with the dark taken at its settings; `saturated` marks
// bands at full scale in any capture (empty: none).
struct LightAndDark {
    const std::vector<double>& light;
    const std::vector<double>& dark;
    const std::vector<bool>& saturated;
};

struct ModeValues {
    std::vector<double> values;  // NaN where the band is invalid
    int invalidBands = 0;
};

// The sample against the reference, band by band. `referenceScale`
// multiplies the reference light (reference minus its dark): the ratio of
// the shutter values when a reference taken at another one is accepted.
// Bands where either spectrum saturated or the scaled reference light is
// below kMinReferenceLight are NaN and counted; so are bands beyond the
// shorter of the spectra. Quantity::Counts gives the sample light minus its
// dark (invalid where saturated) and needs no reference.
ModeValues ComputeMode(Quantity quantity, const LightAndDark& sample, const LightAndDark& reference,
                       double referenceScale = 1.0);

}  // namespace kq7tool
