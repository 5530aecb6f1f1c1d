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
// Connections served at once, each on its own thread. Each open tab holds
// one for its event stream; the streams may take at most kMaxEventStreams,
// the rest stay for the page and its requests.
constexpr std::size_t kConnectionThreads = 32;
constexpr int kMaxEventStreams = 12;
// A request body larger than this is refused (413).
constexpr std::size_t kMaxRequestBytes = 4096;
// A connection that sends no new request for this long is closed.
constexpr std::chrono::milliseconds kKeepAlive{1000};
// From the connection's start (or its previous answer) to the request's last
// byte: a client that sends its headers a byte at a time gets no more.
constexpr std::chrono::milliseconds kRequestDeadline{5000};
// When connections wait for a thread, a request that has taken longer than
// this to arrive gives its thread up, so that slow clients cannot starve the
// page.
constexpr std::chrono::milliseconds kPatienceWhenCrowded{300};
// How long an answer may wait for a client that does not read.
constexpr std::chrono::milliseconds kWriteTimeout{5000};
// How often a waiting connection looks whether the server stops.
constexpr std::chrono::milliseconds kStopCheckInterval{100};

}  // namespace kq7serve
