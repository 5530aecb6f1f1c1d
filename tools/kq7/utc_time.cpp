/* SPDX-License-Identifier: MIT */
#include "kq7/utc_time.h"

#include <cstdio>
#include <ctime>

namespace kq7tool {

namespace {

std::string Formatted(std::chrono::system_clock::time_point time, const char* format, bool utc) {
    const time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm broken{};
#if defined(_WIN32)
    utc ? gmtime_s(&broken, &seconds) : localtime_s(&broken, &seconds);
#else
    utc ? gmtime_r(&seconds, &broken) : localtime_r(&seconds, &broken);
#endif
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &broken));
}

}  // namespace

std::string UtcTimestamp(std::chrono::system_clock::time_point time, bool withMilliseconds) {
    using namespace std::chrono;
    std::string result = Formatted(time, "%Y-%m-%dT%H:%M:%S", true);
    if (withMilliseconds) {
        const long ms = static_cast<long>(duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000);
        char text[8];
        std::snprintf(text, sizeof text, ".%03ld", ms < 0 ? ms + 1000 : ms);
        result += text;
    }
    return result + "Z";
}

std::string LocalTime(std::chrono::system_clock::time_point time, const char* format) {
    return Formatted(time, format, false);
}

}  // namespace kq7tool
