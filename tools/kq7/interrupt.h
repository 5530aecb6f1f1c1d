/* SPDX-License-Identifier: MIT */
// Ctrl-C: the running command ends at its next step, cleanly (a dark capture
// opens the shutter again, a stream keeps the rows it wrote).
#pragma once

namespace kq7tool {

// Catches SIGINT from now on.
void CatchInterrupt();

// Whether Ctrl-C was pressed.
bool Interrupted();

// Waits `seconds`, or less when Ctrl-C is pressed meanwhile.
void PauseUnlessInterrupted(double seconds);

}  // namespace kq7tool
