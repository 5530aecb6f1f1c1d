/* SPDX-License-Identifier: MIT */
#include "kq7/measure/measurement.h"

#include "kq7/measure/boxcar.h"

namespace kq7tool {

ModeValues Measure(const Measurement& measurement, const std::vector<double>& light,
                   const std::vector<bool>& saturated, const std::vector<double>& dark) {
    static const std::vector<double> kNone;
    static const std::vector<bool> kNoneSaturated;
    const ReferenceRecord* reference = measurement.reference ? &*measurement.reference : nullptr;
    ModeValues result =
        ComputeMode(measurement.quantity, {light, dark, saturated},
                    {reference ? reference->light : kNone, reference ? reference->dark : kNone,
                     reference ? reference->saturated : kNoneSaturated},
                    measurement.referenceScale);
    result.values = Boxcar(result.values, measurement.boxcarHalfWidth);
    return result;
}

}  // namespace kq7tool
