/* SPDX-License-Identifier: MIT */
// Bytes currently allocated on the heap, as the allocator in use counts them
// (AddressSanitizer's when the tests run under it, glibc's otherwise).
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
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

}  // namespace kq7::test
