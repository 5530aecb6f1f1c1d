/* SPDX-License-Identifier: MIT */
// The library writes a dump line for every frame it receives, to standard
// output. In the benchmarks those lines go to /dev/null, and the report goes
// to where standard output pointed before.
#pragma once

namespace kq7::bench {

// Points file descriptor 1 at /dev/null and returns a new descriptor of what
// it pointed at before. Exits the process with a message when that fails.
int SetConsoleAside();

}  // namespace kq7::bench
