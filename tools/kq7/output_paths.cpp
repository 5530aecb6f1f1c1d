/* SPDX-License-Identifier: MIT */
#include "kq7/output_paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "kq7/failure.h"
#include "kq7/formats/whole_file.h"

namespace kq7tool {

namespace {

#if defined(_WIN32)
// Windows takes either slash; its access() refuses X_OK, and tells of a
// folder only whether it is read-only.
constexpr char kSeparators[] = "/\\";
constexpr int kProbeFlags = O_WRONLY | O_APPEND;
constexpr int kFolderAccess = W_OK;
#else
constexpr char kSeparators[] = "/";
constexpr int kProbeFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY;
constexpr int kFolderAccess = W_OK | X_OK;
#endif

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string CannotWriteText(const std::string& path, int error) {
    // 0: the stream failed without a system call saying why.
    return "cannot write " + path + ": " + std::strerror(error != 0 ? error : EIO);
}

void CannotWrite(const std::string& path, int error) { throw Failure(kExitFailure, CannotWriteText(path, error)); }

void CheckWritable(const std::string& path) {
    if (path.empty() || path == "-") {
        return;
    }
    // O_APPEND without O_CREAT: an existing file is neither created nor cut.
    const int fd = open(path.c_str(), kProbeFlags);
    if (fd >= 0) {
        close(fd);
        return;
    }
    if (errno != ENOENT) {
        CannotWrite(path, errno);
    }
    if (access(FolderOf(path).c_str(), kFolderAccess) != 0) {
        CannotWrite(path, errno);
    }
}

void WriteFile(const std::string& path, const std::string& content) {
    WriteWholeFile(path, false, [&](const std::string& partial) {
        errno = 0;
        std::ofstream file(partial, std::ios::binary);
        file << content;
        file.close();
        if (!file) {
            CannotWrite(path, errno != 0 ? errno : EIO);
        }
    });
}

}  // namespace kq7tool
