/* SPDX-License-Identifier: MIT */
// A sensor that answers every request at once with a frame prepared in
// advance, handing it out as fast as the library reads, and that allocates
// nothing while it does so. It leaves only the library's own work in an
// exchange: for measuring that work and for checking that it allocates
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nerb_kq7lib.h"

namespace kq7::test {

constexpr int32_t kInstantBands = 512;
// The spectrum reply: 1030 payload bytes, a 1037-byte frame.
constexpr uint16_t kInstantSpectrumPayload = 1030;

// Prepares the replies, clears the request counts and registers the sensor's
// functions with the library. The sensor answers until told to keep silent.
void InstallInstantSensor();

// The sensor's functions for a device of the device interface (kq7_open);
// the context is not used. Call InstallInstantSensor first.
int64_t KQ7_CALL InstantSensorWrite(void* context, const uint8_t* data, int64_t length);
int64_t KQ7_CALL InstantSensorRead(void* context, uint8_t* dest, int64_t maxLength);

// A silent sensor takes requests and never answers.
void SetInstantSensorSilent(bool silent);

// How many requests with `command` arrived since InstallInstantSensor.
int InstantSensorRequests(uint8_t command);

// The complete spectrum frame the sensor sends for CMD_GET_DATA.
const uint8_t* InstantSpectrumFrame();
size_t InstantSpectrumFrameSize();

}  // namespace kq7::test
