/* SPDX-License-Identifier: MIT */
// Keeps kq7's data output apart from the library's console lines: the
// library prints to file descriptor 1, so kq7 moves its own output to a copy
// of it and points descriptor 1 at standard error (or at /dev/null).
#pragma once

#include <string>

namespace kq7tool {

// Call once, before the library prints anything. Throws std::system_error.
void SeparateDataFromConsole(bool quiet);

// Writes `text` to the data output (the original standard output).
void WriteData(const std::string& text);

}  // namespace kq7tool
