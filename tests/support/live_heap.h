/* SPDX-License-Identifier: MIT */
// Bytes currently allocated on the heap, as the allocator in use counts them
// (AddressSanitizer's when the tests run under it, the C runtime's heap on
// Windows, glibc's otherwise).
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (GCC ships no header declaring it).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#else
#include <malloc.h>
#endif

namespace kq7::test {

inline size_t LiveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#elif defined(_WIN32)
    // operator new and malloc both allocate from the C runtime's heap.
    size_t total = 0;
    _HEAPINFO entry{};  // no current entry: the walk starts at the first block
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY) {
            total += entry._size;
        }
    }
    return total;
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

}  // namespace kq7::test
