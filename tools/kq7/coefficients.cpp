/* SPDX-License-Identifier: MIT */
#include "kq7/coefficients.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kq7tool {

namespace {

// The calibration as the sensor will report it: in single precision, which
// is also what the wavelength axis is computed from.
std::array<double, 4> AsReported(const Coefficients& coefficients) {
    std::array<double, 4> reported{};
    for (size_t k = 0; k < coefficients.size(); ++k) {
        reported[k] = static_cast<float>(coefficients[k]);
    }
    return reported;
}

std::vector<double> Axis(const Coefficients& coefficients, int bands) {
    const std::array<double, 4> reported = AsReported(coefficients);
    std::vector<double> nm;
    for (int band = 1; band <= bands; ++band) {
        nm.push_back(kq7_wavelength(reported.data(), band));
    }
    return nm;
}

}  // namespace

Coefficients CurrentCoefficients(const SensorInfoC& info) {
    return {info.coeff[0], info.coeff[1], info.coeff[2], info.coeff[3]};
}

std::string CoefficientProblem(const Coefficients& coefficients, int bands) {
    const std::array<double, 4> reported = AsReported(coefficients);
    for (size_t k = 0; k < reported.size(); ++k) {
        if (!std::isfinite(reported[k])) {
            return "a" + std::to_string(k) + " is not a finite number in single precision";
        }
    }
    const std::vector<double> nm = Axis(coefficients, bands);
    for (size_t band = 1; band < nm.size(); ++band) {
        if (!(nm[band] > nm[band - 1])) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "the wavelengths must rise from band to band: band %zu lies at %.3f nm, band %zu at %.3f nm",
                          band, nm[band - 1], band + 1, nm[band]);
            return text;
        }
    }
    return "";
}

std::string CoefficientsLine(const Coefficients& coefficients) {
    char text[160];
    std::snprintf(text, sizeof text, "a0=%.6g a1=%.6g a2=%.6g a3=%.6g", coefficients[0], coefficients[1],
                  coefficients[2], coefficients[3]);
    return text;
}

std::string CoefficientsText(const std::array<double, 4>& coefficients) {
    std::string text;
    char number[32];
    for (double value : coefficients) {
        // Nine significant digits give the sensor's single-precision values back exactly.
        std::snprintf(number, sizeof number, "%.9g", value);
        text += (text.empty() ? "" : " ") + std::string(number);
    }
    return text;
}

std::string RangeText(const Coefficients& coefficients, int bands) {
    const std::vector<double> nm = Axis(coefficients, bands);
    if (nm.empty()) {
        return "";
    }
    char text[80];
    std::snprintf(text, sizeof text, " (%.2f nm to %.2f nm)", nm.front(), nm.back());
    return text;
}

}  // namespace kq7tool
