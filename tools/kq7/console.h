/* SPDX-License-Identifier: MIT */
// kq7's data output: standard output, written whole even when interrupted.
#pragma once

#include <string>

namespace kq7tool {

// Writes `text` to standard output. Throws std::system_error.
void WriteData(const std::string& text);

}  // namespace kq7tool
