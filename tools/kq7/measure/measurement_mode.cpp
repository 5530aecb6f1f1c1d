/* SPDX-License-Identifier: MIT */
#include "kq7/measure/measurement_mode.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kq7tool {

namespace {

struct QuantityNames {
    const char* name;
    const char* label;
    Quantity quantity;
};

constexpr QuantityNames kQuantityNames[] = {
    {"counts", "Counts", Quantity::Counts},
    {"transmittance", "Transmittance (fraction)", Quantity::Transmittance},
    {"absorbance", "Absorbance", Quantity::Absorbance},
    {"reflectance", "Reflectance (fraction)", Quantity::Reflectance},
};

const QuantityNames& NamesOf(Quantity quantity) {
    for (const QuantityNames& names : kQuantityNames) {
        if (names.quantity == quantity) {
            return names;
        }
    }
    return kQuantityNames[0];
}

bool Saturated(const LightAndDark& spectrum, size_t band) {
    return band < spectrum.saturated.size() && spectrum.saturated[band];
}

}  // namespace

std::optional<Quantity> ParseQuantity(const std::string& name) {
    for (const QuantityNames& names : kQuantityNames) {
        if (name == names.name) {
            return names.quantity;
        }
    }
    return std::nullopt;
}

const char* QuantityName(Quantity quantity) { return NamesOf(quantity).name; }

const char* QuantityLabel(Quantity quantity) { return NamesOf(quantity).label; }

ModeValues ComputeMode(Quantity quantity, const LightAndDark& sample, const LightAndDark& reference,
                       double referenceScale) {
    const size_t bands = sample.light.size();
    const bool ratio = quantity != Quantity::Counts;
    const size_t known = ratio ? std::min({bands, sample.dark.size(), reference.light.size(), reference.dark.size()})
                               : std::min(bands, sample.dark.size());
    ModeValues result;
    result.values.assign(bands, std::numeric_limits<double>::quiet_NaN());
    for (size_t band = 0; band < known; ++band) {
        const double sampleLight = sample.light[band] - sample.dark[band];
        if (Saturated(sample, band)) {
            continue;
        }
        if (!ratio) {
            result.values[band] = sampleLight;
            continue;
        }
        const double referenceLight = (reference.light[band] - reference.dark[band]) * referenceScale;
        if (Saturated(reference, band) || !(referenceLight >= kMinReferenceLight)) {
            continue;
        }
        const double fraction = sampleLight / referenceLight;
        if (quantity != Quantity::Absorbance) {
            result.values[band] = fraction;
        } else if (fraction > 0.0) {
            // No light through the sample has no finite absorbance.
            result.values[band] = -std::log10(fraction);
        }
    }
    result.invalidBands = static_cast<int>(std::count_if(result.values.begin(), result.values.end(),
                                                         [](double value) { return std::isnan(value); }));
    return result;
}

}  // namespace kq7tool
