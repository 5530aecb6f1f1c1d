/* SPDX-License-Identifier: MIT */
#include "sim/light_model.h"

#include <algorithm>
#include <cmath>

#include "lamps/mercury_argon_lines.h"
#include "nerb_kq7lib.h"

namespace kq7sim {

namespace {

struct EmissionLine {
    double centreNm;
    double countsPerUnit;  // height of the line per unit of shutter value
};

// The continuum lamp's lines: its brightest line saturates first, so the
// automatic exposure is steered by a narrow peak, as on a real lamp.
constexpr EmissionLine kLines[] = {
    {435.8, 22.0}, {546.1, 42.0}, {611.6, 12.0}, {763.5, 30.0}, {811.5, 17.0},
};
constexpr double kLineWidthNm = 1.6;  // standard deviation of a line's profile

// A broad continuum, peaking in the red.
constexpr double kContinuumPeakNm = 650.0;
constexpr double kContinuumWidthNm = 170.0;
constexpr double kContinuumCountsPerUnit = 16.0;

// The reference lamp's lines are far narrower than the optics resolve: each
// shows the instrument's slit function, a Gaussian core of this full width at
// half maximum (a little over two bands) with a faint Lorentzian share of
// scattered light in its wings.
constexpr double kLampLineFwhmNm = 3.0;
constexpr double kLampLineLorentzShare = 0.15;
constexpr double kLampBrightestCountsPerUnit = 40.0;

constexpr size_t kDeviateCount = 4096;  // a power of two: picked by a mask
constexpr double kReadNoise = 6.0;        // counts, standard deviation
constexpr double kCountsPerElectron = 0.25;  // shot noise: variance = counts x this

double Gaussian(double x, double centre, double width) {
    const double z = (x - centre) / width;
    return std::exp(-0.5 * z * z);
}

double ContinuumRate(double nm) {
    double rate = kContinuumCountsPerUnit * Gaussian(nm, kContinuumPeakNm, kContinuumWidthNm);
    for (const EmissionLine& line : kLines) {
        rate += line.countsPerUnit * Gaussian(nm, line.centreNm, kLineWidthNm);
    }
    return rate;
}

// A pseudo-Voigt profile of height 1 at `centre`.
double SlitFunction(double nm, double centre) {
    const double u = 4.0 * (nm - centre) * (nm - centre) / (kLampLineFwhmNm * kLampLineFwhmNm);
    const double gaussian = std::exp(-std::log(2.0) * u);
    const double lorentzian = 1.0 / (1.0 + u);
    return (1.0 - kLampLineLorentzShare) * gaussian + kLampLineLorentzShare * lorentzian;
}

double MercuryArgonRate(double nm) {
    double rate = 0.0;
    for (const kq7tool::ReferenceLine& line : kq7tool::kMercuryArgonLines) {
        rate += kLampBrightestCountsPerUnit * line.relativeIntensity * SlitFunction(nm, line.airNm);
    }
    return rate;
}

}  // namespace

LightModel::LightModel(const SimConfig& config) : random_(config.seed) {
    const auto rate = config.source == LightSource::MercuryArgon ? MercuryArgonRate : ContinuumRate;
    rate_.reserve(static_cast<size_t>(std::max(config.bands, 0)));
    for (int band = 1; band <= config.bands; ++band) {
        const double nm = kq7_wavelength(config.coefficients.data(), band);
        const double absorbance = config.absorber ? Absorbance(*config.absorber, nm) : 0.0;
        rate_.push_back(rate(nm) * std::pow(10.0, -absorbance));
    }
    std::normal_distribution<double> standard(0.0, 1.0);
    deviates_.resize(kDeviateCount);
    for (double& deviate : deviates_) {
        deviate = standard(random_);
    }
}

std::vector<uint16_t> LightModel::Expose(int32_t shutter, bool shutterOpen) {
    const double exposure = shutterOpen ? std::max(shutter, 0) : 0;
    std::vector<uint16_t> counts;
    counts.reserve(rate_.size());
    for (double rate : rate_) {
        const double light = rate * exposure;
        const double sigma = std::sqrt(kReadNoise * kReadNoise + light * kCountsPerElectron);
        const double value = std::round(kDarkLevel + light + sigma * deviates_[random_() & (kDeviateCount - 1)]);
        counts.push_back(static_cast<uint16_t>(std::clamp(value, 0.0, static_cast<double>(kFullScale))));
    }
    return counts;
}

}  // namespace kq7sim
