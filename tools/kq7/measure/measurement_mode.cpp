/* SPDX-License-Identifier: MIT */
#include "kq7/measure/measurement_mode.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace kq7tool {

namespace {

constexpr std::pair<const char*, Quantity> kQuantityNames[] = {
    {"counts", Quantity::Counts},
    {"transmittance", Quantity::Transmittance},
    {"absorbance", Quantity::Absorbance},
    {"reflectance", Quantity::Reflectance},
};

bool Saturated(const LightAndDark& spectrum, size_t band) {
    return band < spectrum.saturated.size() && spectrum.saturated[band];
}

}  // namespace

std::optional<Quantity> ParseQuantity(const std::string& name) {
    for (const auto& [text, quantity] : kQuantityNames) {
        if (name == text) {
            return quantity;
        }
    }
    return std::nullopt;
}

const char* QuantityName(Quantity quantity) {
    for (const auto& [text, entry] : kQuantityNames) {
        if (entry == quantity) {
            return text;
        }
    }
    return kQuantityNames[0].first;
}

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
