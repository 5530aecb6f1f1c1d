/* SPDX-License-Identifier: MIT */
// The emission lines of a mercury-argon reference lamp in the visible and near
// infrared: standard air wavelengths, and intensities relative to the
// brightest line as a silicon detector behind a grating sees them. kq7
// calibrates against the wavelengths; the virtual sensor's lamp shines with
// both.
#pragma once

namespace kq7tool {

struct ReferenceLine {
    const char* element;
    double airNm;
    double relativeIntensity;
};

constexpr ReferenceLine kMercuryArgonLines[] = {
    {"Hg", 365.015, 0.10}, {"Hg", 404.656, 0.18}, {"Hg", 407.783, 0.04}, {"Hg", 435.833, 0.62},
    {"Hg", 546.074, 1.00}, {"Hg", 576.960, 0.16}, {"Hg", 579.066, 0.12}, {"Ar", 696.543, 0.22},
    {"Ar", 706.722, 0.17}, {"Ar", 714.704, 0.04}, {"Ar", 727.294, 0.10}, {"Ar", 738.398, 0.16},
    {"Ar", 750.387, 0.55}, {"Ar", 763.511, 0.85}, {"Ar", 772.376, 0.42}, {"Ar", 794.818, 0.36},
    {"Ar", 800.616, 0.40}, {"Ar", 811.531, 0.80}, {"Ar", 826.452, 0.45}, {"Ar", 842.465, 0.50},
    {"Ar", 852.144, 0.30}, {"Ar", 866.794, 0.20}, {"Ar", 912.297, 0.70}, {"Ar", 922.450, 0.40},
};

}  // namespace kq7tool
