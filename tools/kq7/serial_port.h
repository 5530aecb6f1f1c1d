/* SPDX-License-Identifier: MIT */
// A real serial port (or a pseudo-terminal) as the library's host functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nerb_kq7lib.h"

namespace kq7tool {

// The rates OpenSerialPort takes, slowest first.
std::vector<int> SupportedBaudRates();

// Opens `path` raw, 8N1, at `baud`, and discards whatever was pending on it.
// Throws Failure (kExitPortError) with a readable message.
void OpenSerialPort(const std::string& path, int baud);

// The host functions over the port opened last.
int64_t KQ7_CALL SerialPortWrite(const uint8_t* data, int64_t length);
// Waits up to a few milliseconds for bytes, so that the library's polling
// does not keep a core busy while the sensor exposes; once bytes come, waits
// for the rest of the request as long as the port's rate needs for it (at
// most those few milliseconds), so that a slow line is not read byte by byte.
int64_t KQ7_CALL SerialPortRead(uint8_t* dest, int64_t maxLength);

}  // namespace kq7tool
