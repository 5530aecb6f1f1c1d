/* SPDX-License-Identifier: MIT */
#include "kq7/acquisition/state.h"

namespace kq7tool {

namespace {

struct StateWords {
    const char* name;
    const char* text;
};

StateWords Words(State state) {
    switch (state) {
    case State::Identifying:
        return {"identifying", "identifying the sensor"};
    case State::Capturing:
        return {"capturing", "capturing"};
    case State::Paused:
        return {"paused", "paused"};
    case State::NoAnswer:
        return {"no-answer", "no answer from the sensor, trying again"};
    case State::Failing:
        return {"failing", "captures fail, trying again"};
    case State::SearchingExposure:
        return {"searching", "searching the exposure"};
    case State::TakingDark:
        return {"dark", "taking a dark spectrum"};
    }
    return {"", ""};
}

}  // namespace

const char* StateName(State state) { return Words(state).name; }

const char* StateText(State state) { return Words(state).text; }

}  // namespace kq7tool
