/* SPDX-License-Identifier: MIT */
// Options of kq7 itself go before the command, a command's options after it;
// a command line that mixes them up gets told where an option belongs.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kq7tool {

// For `args` (without the program name) that `app` refused: "OPTION ..."
// naming where the first misplaced option belongs, or "" when none is.
std::string PlacementHint(const CLI::App& app, const std::vector<std::string>& args);

}  // namespace kq7tool
