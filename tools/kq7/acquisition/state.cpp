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
    case State::Disconnected:
        return {"disconnected", "disconnected"};
    }
    return {"", ""};
}

}  // namespace

const char* StateName(State state) { return Words(state).name; }

const char* StateText(State state) { return Words(state).text; }

std::string StatusText(const Status& status) {
    if (status.state != State::Disconnected) {
        return StateText(status.state);
    }
    return std::string(StateText(status.state)) + ": waiting for " +
           (status.sensorSerial.empty() ? "the sensor" : status.sensorSerial);
}

}  // namespace kq7tool
