/* SPDX-License-Identifier: MIT */
// The one way the library writes a line. A log goes to a host's callback, to
// standard output, or nowhere. Lines are built in a fixed buffer: logging
// allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nerb_kq7lib.h"

namespace kq7 {

// How a line reaches standard output. The seven exports have always printed
// their lines by two routes that share the stream, and a host may see the
// difference (stdio's buffer against std::cout's, and std::endl's flush):
// each line keeps its route.
enum class LogRoute {
    kPrintf,  // formatted printing, never flushed: the link and the coefficient echo
    kStream,  // std::cout with std::endl: identification and exposure search
};

// Longest line: the coefficient echo with four doubles in "%f" (at most 317
// characters each) and its labels.
constexpr size_t kLogLineCapacity = 1400;

// One line under construction. Text past the capacity is dropped.
class LogLine {
public:
    LogLine& Text(const char* text);
    LogLine& Int(int64_t value);
    // As a default-formatted std::ostream shows it (printf "%g": six
    // significant digits), whatever the host's locale.
    LogLine& General(double value);
    // Two lower-case hexadecimal digits and a space.
    LogLine& HexByte(uint8_t value);
    const char* c_str() const { return text_; }

private:
    void Append(const char* first, size_t n);

    char text_[kLogLineCapacity] = {};
    size_t length_ = 0;
};

class Log {
public:
    // Nowhere, the default; or a host's callback (NULL: nowhere again).
    void SetCallback(kq7_log_fn callback, void* context);
    // Standard output, by each line's route.
    void UseStandardOutput();

    // False when lines go nowhere: callers skip building them.
    bool Enabled() const { return toStandardOutput_ || callback_ != nullptr; }

    void Write(LogRoute route, const char* line) const;
    void Write(LogRoute route, const LogLine& line) const { Write(route, line.c_str()); }

private:
    kq7_log_fn callback_ = nullptr;
    void* context_ = nullptr;
    bool toStandardOutput_ = false;
};

}  // namespace kq7
