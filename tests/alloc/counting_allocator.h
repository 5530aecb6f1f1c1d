/* SPDX-License-Identifier: MIT */
// Counts the heap allocations the process makes while counting is on: every
// operator new of the program and, with the GNU C library (and no sanitizer's
// allocator), malloc, calloc and realloc, so that allocations inside the C
// library (formatted printing, for one) count as well.
#pragma once

#include <cstddef>

namespace kq7::test {

void StartCountingAllocations();
// Stops counting and returns the allocations made since the start.
size_t StopCountingAllocations();

// Whether malloc, calloc and realloc are counted in this build.
bool CountsCAllocations();

template <typename Work>
size_t AllocationsDuring(Work&& work) {
    StartCountingAllocations();
    work();
    return StopCountingAllocations();
}

}  // namespace kq7::test
