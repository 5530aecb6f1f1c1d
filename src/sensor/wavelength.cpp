/* SPDX-License-Identifier: MIT */
#include "sensor/wavelength.h"

namespace kq7 {

double Wavelength(const std::array<double, 4>& a, int32_t band) {
    const double x = band;
    const double p = ((a[0] * x) * x) * x;
    const double q = (a[1] * x) * x;
    const double r = a[2] * x;
    return ((p + q) + r) + a[3];
}

}  // namespace kq7
