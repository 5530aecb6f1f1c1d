/* SPDX-License-Identifier: MIT */
#include "kq7/calibration/cubic_fit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "nerb_kq7lib.h"

namespace kq7tool {

CubicFit FitCubic(const std::vector<double>& bands, const std::vector<double>& wavelengthsNm, int bandCount) {
    // Powers of the band number itself reach 10^10 at 2048 bands; over
    // x = band / bandCount (at most 1) the columns stay comparable and the
    // problem well conditioned. Column k holds x^(3 - k), as the sensor orders
    // its coefficients.
    const double scale = std::max(bandCount, 1);
    const Eigen::Index points = static_cast<Eigen::Index>(std::min(bands.size(), wavelengthsNm.size()));
    Eigen::MatrixXd design(points, static_cast<Eigen::Index>(kCubicTerms));
    Eigen::VectorXd known(points);
    for (Eigen::Index i = 0; i < points; ++i) {
        const double x = bands[static_cast<size_t>(i)] / scale;
        design(i, 0) = x * x * x;
        design(i, 1) = x * x;
        design(i, 2) = x;
        design(i, 3) = 1.0;
        known(i) = wavelengthsNm[static_cast<size_t>(i)];
    }
    const Eigen::VectorXd scaled = design.colPivHouseholderQr().solve(known);

    CubicFit fit;
    for (size_t k = 0; k < kCubicTerms; ++k) {
        fit.coefficients[k] =
            scaled(static_cast<Eigen::Index>(k)) / std::pow(scale, static_cast<double>(kCubicTerms - 1 - k));
    }
    double sumOfSquares = 0.0;
    for (Eigen::Index i = 0; i < points; ++i) {
        const double residual = kq7_wavelength(fit.coefficients.data(), bands[static_cast<size_t>(i)]) - known(i);
        fit.residualsNm.push_back(residual);
        sumOfSquares += residual * residual;
    }
    fit.rmsNm = points > 0 ? std::sqrt(sumOfSquares / static_cast<double>(points)) : 0.0;
    return fit;
}

}  // namespace kq7tool
