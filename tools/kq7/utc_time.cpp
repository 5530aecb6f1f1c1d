/* SPDX-License-Identifier: MIT */
#include "kq7/utc_time.h"

#include <cstdio>
#include <ctime>

namespace kq7tool {

std::string UtcTimestamp(std::chrono::system_clock::time_point time, bool withMilliseconds) {
    using namespace std::chrono;
    const time_t seconds = system_clock::to_time_t(time);
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::string result(text, length);
    if (withMilliseconds) {
        const long ms = static_cast<long>(duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000);
        std::snprintf(text, sizeof text, ".%03ld", ms < 0 ? ms + 1000 : ms);
        result += text;
    }
    return result + "Z";
}

}  // namespace kq7tool
