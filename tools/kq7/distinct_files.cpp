/* SPDX-License-Identifier: MIT */
#include "kq7/distinct_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "kq7/failure.h"

namespace kq7tool {

namespace {

namespace fs = std::filesystem;

// Where the data output goes when it is redirected; Windows has no such name.
#if defined(_WIN32)
constexpr const char* kStandardOutput = "";
#else
constexpr const char* kStandardOutput = "/dev/stdout";
#endif

constexpr const char* kStandardOutputName = "standard output";

std::string Named(const NamedFile& file) {
    return file.option == kStandardOutputName ? file.option : file.option + " " + file.path;
}

// std::filesystem::equivalent refuses to compare two devices (a port).
bool SameInode(const fs::path& a, const fs::path& b) {
#if defined(_WIN32)
    std::error_code error;
    return fs::equivalent(a, b, error);
#else
    struct stat statA {};
    struct stat statB {};
    return stat(a.c_str(), &statA) == 0 && stat(b.c_str(), &statB) == 0 && statA.st_dev == statB.st_dev &&
           statA.st_ino == statB.st_ino;
#endif
}

// Whether writing `a` would overwrite `b`: one existing file, or one name
// once both are resolved (neither exists yet).
bool SameFile(const fs::path& a, const fs::path& b, bool devicesToo) {
    std::error_code error;
    const fs::file_status status = fs::status(a, error);
    if (fs::exists(status) && fs::exists(b, error)) {
        return SameInode(a, b) && (devicesToo || fs::is_regular_file(status));
    }
    const fs::path resolvedA = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path resolvedB = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && resolvedA == resolvedB;
}

}  // namespace

void CheckDistinctFiles(const std::vector<NamedFile>& files, const SensorPlace& place) {
    std::vector<NamedFile> all;
    for (const NamedFile& file : files) {
        if (!file.path.empty() && file.path != "-") {
            all.push_back(file);
        }
    }
    const size_t given = all.size();
    if (*kStandardOutput != '\0' && fs::is_regular_file(kStandardOutput)) {
        all.push_back({kStandardOutputName, kStandardOutput});
    }
    if (!place.virtualSensor) {
        all.push_back({"--port", place.port});
    }
    for (size_t i = 0; i < given; ++i) {
        for (size_t j = i + 1; j < all.size(); ++j) {
            if (SameFile(all[i].path, all[j].path, all[j].option == "--port")) {
                throw Failure(kExitUsage,
                              Named(all[i]) + " and " + Named(all[j]) + " are the same file: give each its own");
            }
        }
    }
}

}  // namespace kq7tool
