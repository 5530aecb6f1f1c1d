/* SPDX-License-Identifier: MIT */
#pragma once

#include <string>

namespace kq7tool {

// kq7's own version: the project's, fixed at build time.
std::string Kq7Version();

// The version of the library kq7 runs with.
std::string LibraryVersion();

}  // namespace kq7tool
