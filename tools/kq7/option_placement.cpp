/* SPDX-License-Identifier: MIT */
#include "kq7/option_placement.h"

#include <CLI/CLI.hpp>

namespace kq7tool {

namespace {

// "--average=3" names "--average".
std::string OptionName(const std::string& arg) { return arg.substr(0, arg.find('=')); }

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-' && !std::isdigit(arg[1]); }

}  // namespace

std::string PlacementHint(const CLI::App& app, const std::vector<std::string>& args) {
    const CLI::App* command = nullptr;
    for (const std::string& arg : args) {
        const std::string name = OptionName(arg);
        if (!IsOption(arg)) {
            if (command == nullptr) {
                for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
                    command = sub->check_name(arg) ? sub : command;
                }
            }
            continue;
        }
        if (command != nullptr && command->get_option_no_throw(name) == nullptr &&
            app.get_option_no_throw(name) != nullptr) {
            return name + " is an option of kq7 itself: give it before the command, as in kq7 " + name + " ... " +
                   command->get_name() + " ...";
        }
        if (command == nullptr && app.get_option_no_throw(name) == nullptr) {
            for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
                if (sub->get_option_no_throw(name) != nullptr) {
                    return name + " is an option of the command " + sub->get_name() +
                           ": give it after the command, as in kq7 ... " + sub->get_name() + " " + name + " ...";
                }
            }
        }
    }
    return "";
}

}  // namespace kq7tool
