/* SPDX-License-Identifier: MIT */
#include "kq7/formats/file_format.h"

#include <algorithm>
#include <cctype>

namespace kq7tool {

namespace {

bool EndsWith(const std::string& text, const char* ending) {
    const std::string tail(ending);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

FileFormat FormatOf(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (EndsWith(lower, ".jdx") || EndsWith(lower, ".dx")) {
        return FileFormat::Jcamp;
    }
    if (EndsWith(lower, ".h5") || EndsWith(lower, ".hdf5") || EndsWith(lower, ".nxs")) {
        return FileFormat::Nexus;
    }
    return FileFormat::Csv;
}

}  // namespace kq7tool
