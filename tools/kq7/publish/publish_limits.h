/* SPDX-License-Identifier: MIT */
// The numbers that shape kq7's broker traffic.
#pragma once

#include <cstddef>

namespace kq7publish {

constexpr const char* kDefaultPrefix = "kq7";
constexpr int kDefaultPort = 1883;
constexpr int kDefaultTlsPort = 8883;

// The broker sends the last will ("offline") when it has heard nothing for
// one and a half keep-alives.
constexpr int kKeepAliveSeconds = 5;
// Reconnection after a lost connection: after 1 s, then 2 s, 3 s... up to
// 15 s between tries (libmosquitto's "exponential" backoff squares, which
// waits 4 s after a broker restart that took just over one).
constexpr unsigned kReconnectFirstSeconds = 1;
constexpr unsigned kReconnectMaxSeconds = 15;

// Spectra waiting for the network; beyond it the oldest one is dropped.
constexpr std::size_t kDefaultQueueCapacity = 256;
// Messages handed to the client library and not yet written (QoS 0) or
// acknowledged (QoS 1). Bounds the library's own queue, which has no limit.
constexpr int kInFlightWindow = 32;

// A settings request is a few fields; anything longer is refused unread.
constexpr std::size_t kMaxSettingsBytes = 1024;
constexpr std::size_t kMaxRequestIdLength = 64;
// A spectrum or info message: 4096 bands in JSON stay well below it.
constexpr std::size_t kMaxSensorMessageBytes = 1 << 20;

}  // namespace kq7publish
