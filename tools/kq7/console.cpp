/* SPDX-License-Identifier: MIT */
#include "kq7/console.h"

#include <fcntl.h>
#include <unistd.h>
#if defined(_WIN32)
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace kq7tool {

namespace {

int g_dataFd = STDOUT_FILENO;

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// Where the system allows it, programs started from kq7 inherit neither.
#if defined(_WIN32)
int DuplicateStdout() { return _dup(STDOUT_FILENO); }
int OpenNullDevice() { return _open("NUL", _O_WRONLY | _O_NOINHERIT); }
#else
int DuplicateStdout() { return fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0); }
int OpenNullDevice() { return open("/dev/null", O_WRONLY | O_CLOEXEC); }
#endif

}  // namespace

void SeparateDataFromConsole(bool quiet) {
    std::fflush(stdout);
    g_dataFd = DuplicateStdout();
    if (g_dataFd < 0) {
        ThrowErrno("dup stdout");
    }
    const int console = quiet ? OpenNullDevice() : STDERR_FILENO;
    if (console < 0 || dup2(console, STDOUT_FILENO) < 0) {
        ThrowErrno("redirect stdout");
    }
    if (quiet) {
        close(console);
    }
    // The library's lines then interleave with kq7's own messages on stderr.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

void WriteData(const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(g_dataFd, text.data() + written, text.size() - written);
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
