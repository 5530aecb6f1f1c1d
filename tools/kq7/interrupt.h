/* SPDX-License-Identifier: MIT */
// Ctrl-C: the running command ends at once and cleanly (a dark capture opens
// the shutter again, a stream keeps the rows it wrote).
#pragma once

#include "nerb_kq7lib.h"

namespace kq7tool {

// Catches the first SIGINT from now on; a second one ends kq7 as usual.
void CatchInterrupt();

// Ctrl-C cancels the call running on `device` (nullptr: none) from now on.
void CancelOnInterrupt(kq7_device* device);

// Whether Ctrl-C was pressed.
bool Interrupted();

}  // namespace kq7tool
