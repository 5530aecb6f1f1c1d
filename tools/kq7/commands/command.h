/* SPDX-License-Identifier: MIT */
// kq7's commands. Each Add* declares its command and options on `app`; when
// the command line picks it, it fills `chosen`. A command checks its output
// files, identifies the sensor, writes its data through WriteData and throws
// Failure when something goes wrong.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>

#include "kq7/device/sensor.h"
#include "sim/sim_config.h"

namespace kq7tool {

struct Command {
    std::function<void(Sensor&)> run;
    // A command that opens no sensor of its own (kq7 list) sets this instead.
    std::function<void()> runAlone;
    // What the built-in virtual sensor shines for this command.
    kq7sim::LightSource virtualLight = kq7sim::SimConfig{}.source;
};

void AddInfo(CLI::App& app, Command& chosen);
void AddList(CLI::App& app, Command& chosen);
void AddCapture(CLI::App& app, Command& chosen);
void AddReference(CLI::App& app, Command& chosen);
void AddAuto(CLI::App& app, Command& chosen);
void AddStream(CLI::App& app, Command& chosen);
void AddShutter(CLI::App& app, Command& chosen);
void AddCoeff(CLI::App& app, Command& chosen);
void AddCalibrate(CLI::App& app, Command& chosen);
#if defined(KQ7_WITH_SERVE)
void AddServe(CLI::App& app, Command& chosen);
#endif
#if defined(KQ7_WITH_PUBLISH)
void AddPublish(CLI::App& app, Command& chosen);
void AddRecord(CLI::App& app, Command& chosen);
#endif

// Once the command line picks `command`, `chosen` runs `run` with the
// options the command line filled in, under `virtualLight`.
template <typename Options>
void RunWhenChosen(CLI::App& command, Command& chosen, std::shared_ptr<Options> options,
                   void (*run)(Sensor&, const Options&),
                   kq7sim::LightSource virtualLight = kq7sim::SimConfig{}.source) {
    command.callback([&chosen, options, run, virtualLight] {
        chosen.run = [options, run](Sensor& sensor) { run(sensor, *options); };
        chosen.virtualLight = virtualLight;
    });
}

}  // namespace kq7tool
