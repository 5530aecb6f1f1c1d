/* SPDX-License-Identifier: MIT */
#include "kq7/byte_link.h"
#include "sim/in_process.h"

namespace kq7tool {

int64_t VirtualSensorLink::Write(const uint8_t* data, int64_t length) { return kq7sim::InProcessWrite(data, length); }

int64_t VirtualSensorLink::Read(uint8_t* dest, int64_t maxLength) { return kq7sim::InProcessRead(dest, maxLength); }

}  // namespace kq7tool
