/* SPDX-License-Identifier: MIT */
#include "kq7/diagnostics.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace kq7tool {

namespace {

std::mutex g_stderr;

void Write(const std::string& text) {
    const std::lock_guard<std::mutex> lock(g_stderr);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

void SayError(const std::string& text) { Write("kq7: " + text + "\n"); }

void SayWarning(const std::string& text) { Write("kq7: warning: " + text + "\n"); }

void Say(const std::string& text) { Write(text); }

bool DiagnosticsOnTerminal() { return isatty(STDERR_FILENO) == 1; }

void ShowProgressLine(const std::string& text) { Write("\r\033[K" + text); }

}  // namespace kq7tool
