/* SPDX-License-Identifier: MIT */
// Times as kq7 writes them.
#pragma once

#include <chrono>
#include <string>

namespace kq7tool {

// ISO 8601 in UTC: "2026-12-09T11:30:00Z", or with `withMilliseconds`
// "2026-12-09T11:30:00.125Z".
std::string UtcTimestamp(std::chrono::system_clock::time_point time, bool withMilliseconds = false);

// `time` in local time by strftime's `format`, e.g. "%H:%M:%S".
std::string LocalTime(std::chrono::system_clock::time_point time, const char* format);

}  // namespace kq7tool
