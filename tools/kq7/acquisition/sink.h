/* SPDX-License-Identifier: MIT */
// Where an acquisition's results go: a file, a page, a broker. A sink never
// talks to the sensor. Its calls come from the acquisition's thread, and
// OnStatus also from the thread that changes the settings.
#pragma once

#include <vector>

#include "kq7/acquisition/state.h"
#include "nerb_kq7lib.h"

namespace kq7tool {

class Sink {
public:
    virtual ~Sink() = default;
    // A sensor was identified (again): its record and wavelength axis.
    virtual void OnSensor(const SensorInfoC& info, const std::vector<double>& wavelengthsNm) = 0;
    virtual void OnStatus(const Status& status) = 0;
    // Throwing Failure ends a run that does not retry.
    virtual void OnSpectrum(const CapturedSpectrum& spectrum) = 0;
};

}  // namespace kq7tool
