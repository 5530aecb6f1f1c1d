/* SPDX-License-Identifier: MIT */
// One process-wide virtual sensor (a LocalSensor) behind a pair of plain host
// functions, for KQ7Set_Serial_FUN and other hosts that take no context.
#pragma once

#include <cstdint>

#include "nerb_kq7lib.h"
#include "sim/sim_config.h"
#include "sim/virtual_sensor.h"

namespace kq7sim {

// Replaces the process-wide sensor with a fresh one built from `config`.
void StartInProcess(const SimConfig& config);

// The process-wide sensor, for inspection; StartInProcess must have run.
const VirtualSensor& InProcessSensor();

int64_t KQ7_CALL InProcessWrite(const uint8_t* data, int64_t length);
int64_t KQ7_CALL InProcessRead(uint8_t* dest, int64_t maxLength);

}  // namespace kq7sim
