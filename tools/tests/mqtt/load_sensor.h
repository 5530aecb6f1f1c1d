/* SPDX-License-Identifier: MIT */
// A made-up sensor of `bands` bands for the load programs: its publisher
// started, its info and state "capturing" sent.
#pragma once

#include <cstdio>
#include <string>

#include "kq7/publish/publisher.h"

namespace kq7publish {

inline void StartLoadSensor(Publisher& publisher, const std::string& serial, int bands) {
    publisher.Start();
    SensorInfoC info{};
    std::snprintf(info.identField2, sizeof info.identField2, "%s", serial.c_str());
    info.bandnumber = bands;
    info.coeff[2] = 0.5f;
    info.coeff[3] = 340.0f;
    publisher.SetInfo(DescribeSensor(info, "load", true));
    publisher.SetState(PublisherState::Capturing);
}

}  // namespace kq7publish
