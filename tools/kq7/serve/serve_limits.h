/* SPDX-License-Identifier: MIT */
// The numbers that shape kq7 serve: where it listens, what the page may set,
// how fast it captures and how long it waits.
#pragma once

#include <chrono>
#include <cstddef>

#include "nerb_kq7lib.h"

namespace kq7serve {

constexpr const char* kDefaultHost = "127.0.0.1";
constexpr int kDefaultPort = 8477;

// What the page may ask for; the server refuses anything else.
constexpr int kMinShutter = 1;
constexpr int kMaxShutter = KQ7_SHUTTER_SEARCH_MAX;  // as far as the automatic exposure goes
constexpr int kStartShutter = 100;
constexpr int kMaxAverage = 100;
constexpr int kMinPercent = 1;
constexpr int kMaxPercent = 100;

// A live view needs no more than 25 spectra a second; the cap also keeps a
// sensor that answers at once (the virtual one) from taking a whole core.
constexpr std::chrono::milliseconds kMinCaptureInterval{40};
// The pause before the next try after the sensor failed.
constexpr std::chrono::milliseconds kRetryPause{1000};

// How long an event stream waits for news before it sends a comment, which
// also finds out that a tab went away.
constexpr std::chrono::milliseconds kEventWait{1000};
// Connections served at once. Each open tab holds one for its event stream;
// the streams may take all but a few, which stay for the other requests.
constexpr std::size_t kConnectionThreads = 16;
constexpr int kMaxEventStreams = 12;
constexpr std::size_t kMaxRequestBytes = 4096;
constexpr int kKeepAliveSeconds = 1;

}  // namespace kq7serve
