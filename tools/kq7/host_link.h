/* SPDX-License-Identifier: MIT */
// The pair of host functions kq7 lends to the library, and what came back
// through them.
#pragma once

#include <cstdint>

#include "nerb_kq7lib.h"

namespace kq7tool {

// Registers `write` and `read` with the library (KQ7Set_Serial_FUN), counting
// every byte that `read` delivers.
void RegisterHostLink(SerialWriteFn write, SerialReadFn read);

// Bytes received from the sensor since RegisterHostLink.
uint64_t BytesFromSensor();

}  // namespace kq7tool
