/* SPDX-License-Identifier: MIT */
// The wavelength axis for hosts: the one evaluation of the sensor's
// polynomial, so that kq7, the live view and the bindings agree to the bit.
#include <array>

#include "nerb_kq7lib.h"
#include "sensor/wavelength.h"

extern "C" {

KQ7_API double KQ7_CALL kq7_wavelength(const double* coefficients, double band) {
    if (coefficients == nullptr) {
        return 0.0;
    }
    return kq7::Wavelength({coefficients[0], coefficients[1], coefficients[2], coefficients[3]}, band);
}

KQ7_API int KQ7_CALL kq7_wavelengths(const kq7_sensor_info* info, double* nm, int32_t capacity) {
    if (info == nullptr || nm == nullptr || info->bandnumber < 1 || info->bandnumber > capacity) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const std::array<double, 4> a{info->coeff[0], info->coeff[1], info->coeff[2], info->coeff[3]};
    for (int32_t band = 1; band <= info->bandnumber; ++band) {
        nm[band - 1] = kq7::Wavelength(a, band);
    }
    return info->bandnumber;
}

}  // extern "C"
