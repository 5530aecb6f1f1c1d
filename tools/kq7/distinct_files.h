/* SPDX-License-Identifier: MIT */
// A command never writes one of its files over another of its files or over
// its serial port: names are compared by what they resolve to (device and
// inode), so that x.csv, ./x.csv and a link to it are one file.
#pragma once

#include <string>
#include <vector>

#include "kq7/device/sensor.h"

namespace kq7tool {

// A file a command reads or writes, and the option that names it.
struct NamedFile {
    std::string option;  // "-o", "--plot", "--port", ...
    std::string path;    // empty: not given; "-": standard output
};

// Throws Failure (kExitUsage) naming both when two of `files`, the serial
// port of `place` or a standard output redirected to a file are one file.
// Devices other than the port (/dev/null) may be named more than once.
void CheckDistinctFiles(const std::vector<NamedFile>& files, const SensorPlace& place);

}  // namespace kq7tool
