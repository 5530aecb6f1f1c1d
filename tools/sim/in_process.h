/* SPDX-License-Identifier: MIT */
// The virtual sensor as a pair of host functions for KQ7Set_Serial_FUN, in the
// same process: what the library writes goes straight to one process-wide
// VirtualSensor, and its replies come back through the read function as they
// fall due (at once, unless the configured fault delays or chunks them).
#pragma once

#include <cstdint>

#include "nerb_kq7lib.h"
#include "sim/sim_config.h"
#include "sim/virtual_sensor.h"

namespace kq7sim {

// Replaces the process-wide sensor with a fresh one built from `config`.
void StartInProcess(const SimConfig& config);

// Replaces the process-wide sensor with a fresh one of the same
// configuration but `source`; StartInProcess must have run.
void UseInProcessLightSource(LightSource source);

// The process-wide sensor, for inspection; StartInProcess must have run.
const VirtualSensor& InProcessSensor();

int64_t KQ7_CALL InProcessWrite(const uint8_t* data, int64_t length);
int64_t KQ7_CALL InProcessRead(uint8_t* dest, int64_t maxLength);

}  // namespace kq7sim
