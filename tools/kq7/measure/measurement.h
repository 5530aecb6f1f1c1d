/* SPDX-License-Identifier: MIT */
// A measurement as the commands take it: what to compute, against which
// reference, smoothed by how much.
#pragma once

#include <optional>
#include <vector>

#include "kq7/measure/measurement_mode.h"
#include "kq7/measure/reference_record.h"

namespace kq7tool {

struct Measurement {
    Quantity quantity = Quantity::Counts;
    std::optional<ReferenceRecord> reference;  // needed unless counts
    double referenceScale = 1.0;               // see ComputeMode
    int boxcarHalfWidth = 0;
};

// The sample (its light, per-band saturation and the dark at its settings)
// as `measurement` asks: the quantity against the reference, then the
// boxcar. Counts are the light minus the dark.
ModeValues Measure(const Measurement& measurement, const std::vector<double>& light,
                   const std::vector<bool>& saturated, const std::vector<double>& dark);

}  // namespace kq7tool
