/* SPDX-License-Identifier: MIT */
// Reads the form fields of the page's requests. Each reader returns an empty
// string when every field is known and in range, else the reason to refuse.
#pragma once

#include <map>
#include <string>

#include "kq7/acquisition/state.h"

namespace kq7serve {

using Fields = std::multimap<std::string, std::string>;

// shutter, average: whole numbers in range; subtractDark, paused: true/false;
// quantity: counts, transmittance, absorbance or reflectance.
std::string ReadSettingsChange(const Fields& fields, kq7tool::SettingsChange& change);

// percent: a whole number in kMinPercent..kMaxPercent.
std::string ReadPercent(const Fields& fields, int& percent);

}  // namespace kq7serve
