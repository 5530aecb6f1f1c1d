/* SPDX-License-Identifier: MIT */
// Which format a spectrum file is written in, by its name's ending.
#pragma once

#include <string>

namespace kq7tool {

enum class FileFormat {
    Csv,    // anything else, "-" included
    Jcamp,  // .jdx, .dx
    Nexus,  // .h5, .hdf5, .nxs
};

FileFormat FormatOf(const std::string& path);

}  // namespace kq7tool
