/* SPDX-License-Identifier: MIT */
#include "kq7/formats/whole_file.h"

#include <filesystem>
#include <system_error>

#include "kq7/failure.h"

namespace kq7tool {

void RefuseExisting(const std::string& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        throw Failure(kExitFailure, "cannot write " + path + ": it exists (a new file is never written over)");
    }
}

void WriteWholeFile(const std::string& path, bool refuseExisting,
                    const std::function<void(const std::string& partialPath)>& write) {
    if (refuseExisting) {
        RefuseExisting(path);
    }
    const std::string partial = path + ".partial";
    std::error_code ignored;
    try {
        // A partial file is what an earlier killed run left: never a result.
        std::filesystem::remove(partial, ignored);
        write(partial);
        if (refuseExisting) {
            RefuseExisting(path);
        }
        std::error_code error;
        std::filesystem::rename(partial, path, error);
        if (error) {
            throw Failure(kExitFailure, "cannot write " + path + ": " + error.message());
        }
    } catch (...) {
        std::filesystem::remove(partial, ignored);
        throw;
    }
}

}  // namespace kq7tool
