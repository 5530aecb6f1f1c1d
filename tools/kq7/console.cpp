/* SPDX-License-Identifier: MIT */
#include "kq7/console.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace kq7tool {

namespace {

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

void WriteData(const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ThrowErrno("write output");
        }
        written += static_cast<size_t>(n);
    }
}

}  // namespace kq7tool
