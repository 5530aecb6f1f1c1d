/* SPDX-License-Identifier: MIT */
#include "kq7/measure/boxcar.h"

#include <algorithm>
#include <cmath>

namespace kq7tool {

std::vector<double> Boxcar(const std::vector<double>& values, int halfWidth) {
    const long last = static_cast<long>(values.size()) - 1;
    std::vector<double> smoothed(values.size());
    for (long band = 0; band <= last; ++band) {
        const long reach = std::min({static_cast<long>(std::max(halfWidth, 0)), band, last - band});
        if (std::isnan(values[band])) {
            smoothed[band] = values[band];
            continue;
        }
        double sum = 0.0;
        int count = 0;
        for (long k = band - reach; k <= band + reach; ++k) {
            if (!std::isnan(values[k])) {
                sum += values[k];
                ++count;
            }
        }
        smoothed[band] = sum / count;
    }
    return smoothed;
}

}  // namespace kq7tool
