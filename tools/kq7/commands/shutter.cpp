/* SPDX-License-Identifier: MIT */
// kq7 shutter: opens or closes the shutter.
#include <memory>
#include <string>

#include "kq7/commands/command.h"
#include "kq7/console.h"

namespace kq7tool {

namespace {

struct ShutterOptions {
    std::string state;  // "open" or "close"
};

void RunShutter(Sensor& sensor, const ShutterOptions& options) {
    const bool open = options.state == "open";
    sensor.Identify();
    sensor.SetShutter(open);
    WriteData(open ? "shutter open\n" : "shutter closed\n");
}

}  // namespace

void AddShutter(CLI::App& app, Command& chosen) {
    const auto options = std::make_shared<ShutterOptions>();
    CLI::App* command = app.add_subcommand("shutter", "Open or close the shutter");
    command->add_option("state", options->state, "open or close")->required()->check(CLI::IsMember({"open", "close"}));
    RunWhenChosen(*command, chosen, options, RunShutter);
}

}  // namespace kq7tool
