/* SPDX-License-Identifier: MIT */
#include "kq7/serve/acquisition_state.h"

namespace kq7serve {

const char* StateName(State state) {
    switch (state) {
    case State::Identifying:
        return "identifying";
    case State::Capturing:
        return "capturing";
    case State::Paused:
        return "paused";
    case State::NoAnswer:
        return "no-answer";
    case State::Failing:
        return "failing";
    case State::SearchingExposure:
        return "searching";
    case State::TakingDark:
        return "dark";
    }
    return "";
}

const char* StateText(State state) {
    switch (state) {
    case State::Identifying:
        return "identifying the sensor";
    case State::Capturing:
        return "capturing";
    case State::Paused:
        return "paused";
    case State::NoAnswer:
        return "no answer from the sensor, trying again";
    case State::Failing:
        return "captures fail, trying again";
    case State::SearchingExposure:
        return "searching the exposure";
    case State::TakingDark:
        return "taking a dark spectrum";
    }
    return "";
}

}  // namespace kq7serve
