/* SPDX-License-Identifier: MIT */
#include "log/log.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace kq7 {

namespace {
constexpr int kGeneralPrecision = 6;  // std::ostream's default
constexpr char kHexDigits[] = "0123456789abcdef";
}  // namespace

void LogLine::Append(const char* first, size_t n) {
    const size_t room = sizeof text_ - 1 - length_;
    const size_t taken = n < room ? n : room;
    std::memcpy(text_ + length_, first, taken);
    length_ += taken;
    text_[length_] = '\0';
}

LogLine& LogLine::Text(const char* text) {
    Append(text, std::strlen(text));
    return *this;
}

LogLine& LogLine::Int(int64_t value) {
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    Append(digits, static_cast<size_t>(end.ptr - digits));
    return *this;
}

LogLine& LogLine::General(double value) {
    // to_chars formats as printf does in the "C" locale.
    char digits[32];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, kGeneralPrecision);
    Append(digits, static_cast<size_t>(end.ptr - digits));
    return *this;
}

LogLine& LogLine::HexByte(uint8_t value) {
    const char digits[3] = {kHexDigits[value >> 4], kHexDigits[value & 0x0F], ' '};
    Append(digits, sizeof digits);
    return *this;
}

void Log::SetCallback(kq7_log_fn callback, void* context) {
    callback_ = callback;
    context_ = context;
    toStandardOutput_ = false;
}

void Log::UseStandardOutput() {
    callback_ = nullptr;
    context_ = nullptr;
    toStandardOutput_ = true;
}

void Log::Write(LogRoute route, const char* line) const {
    if (callback_ != nullptr) {
        callback_(context_, line);
    } else if (toStandardOutput_ && route == LogRoute::kPrintf) {
        std::printf("%s\n", line);
    } else if (toStandardOutput_) {
        std::cout << line << std::endl;
    }
}

}  // namespace kq7
