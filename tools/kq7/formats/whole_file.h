/* SPDX-License-Identifier: MIT */
// Single-capture files are written whole or not at all, so that a failure or
// a kill halfway never leaves a file that looks complete.
#pragma once

#include <functional>
#include <string>

namespace kq7tool {

// `write` fills PATH.partial, which then takes the place of `path`. On any
// failure (an exception from `write` or from the rename) the partial file is
// removed and the exception passed on. With `refuseExisting`, an existing
// `path` is refused (Failure "cannot write PATH: it exists") before `write`
// runs and again before the rename.
void WriteWholeFile(const std::string& path, bool refuseExisting,
                    const std::function<void(const std::string& partialPath)>& write);

// Throws Failure "cannot write PATH: it exists" if `path` exists.
void RefuseExisting(const std::string& path);

}  // namespace kq7tool
