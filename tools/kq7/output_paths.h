/* SPDX-License-Identifier: MIT */
// Output files are checked before anything is sent to the sensor, so that a
// long capture does not end in a file that cannot be written.
#pragma once

#include <string>

namespace kq7tool {

// Throws Failure ("cannot write PATH: reason") unless `path` can be written:
// an existing file must open for writing (it is left unchanged), a new one
// needs a folder that exists and takes files. Empty and "-" (the data
// output) pass.
void CheckWritable(const std::string& path);

// "cannot write PATH: " and the text of `error` (an errno cleared before
// the failed call; 0 reads as an input/output error).
std::string CannotWriteText(const std::string& path, int error);

// Throws Failure with CannotWriteText.
[[noreturn]] void CannotWrite(const std::string& path, int error);

// Writes `content` to `path` whole or not at all (WriteWholeFile). Throws
// Failure with the reason.
void WriteFile(const std::string& path, const std::string& content);

}  // namespace kq7tool
