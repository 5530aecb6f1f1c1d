/* SPDX-License-Identifier: MIT */
// Replaces the global allocation functions of this test program. The
// replacements allocate from the C library's own allocator and count.
#include "counting_allocator.h"

#include <cstdlib>
#include <new>

// A sanitizer brings an allocator of its own: then only operator new is
// counted, on top of that allocator.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KQ7_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KQ7_SANITIZER_ALLOCATOR 1
#endif

#if defined(__GLIBC__) && !defined(KQ7_SANITIZER_ALLOCATOR)
#define KQ7_COUNT_C_ALLOCATIONS 1
#endif

#if defined(KQ7_COUNT_C_ALLOCATIONS)
// The C library's allocator under its internal names, so that a replaced
// malloc can hand on to it. Interposing malloc this way is supported by the
// GNU C library.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}
#endif

namespace kq7::test {

namespace {

bool counting = false;
size_t allocations = 0;

void NoteAllocation() {
    if (counting) {
        ++allocations;
    }
}

#if defined(KQ7_COUNT_C_ALLOCATIONS)
void* UncountedAllocate(size_t size) { return __libc_malloc(size); }
void UncountedFree(void* block) { __libc_free(block); }
#else
void* UncountedAllocate(size_t size) { return std::malloc(size); }
void UncountedFree(void* block) { std::free(block); }
#endif

void* CountedAllocate(size_t size) {
    NoteAllocation();
    return UncountedAllocate(size == 0 ? 1 : size);
}

void* CountedAllocateOrThrow(size_t size) {
    void* block = CountedAllocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void StartCountingAllocations() {
    allocations = 0;
    counting = true;
}

size_t StopCountingAllocations() {
    counting = false;
    return allocations;
}

#if defined(KQ7_COUNT_C_ALLOCATIONS)
bool CountsCAllocations() { return true; }
#else
bool CountsCAllocations() { return false; }
#endif

}  // namespace kq7::test

using kq7::test::CountedAllocate;
using kq7::test::CountedAllocateOrThrow;
using kq7::test::UncountedFree;

// Over-aligned forms are left to the standard library: nothing in the
// library under test has an over-aligned type.
void* operator new(size_t size) { return CountedAllocateOrThrow(size); }
void* operator new[](size_t size) { return CountedAllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void operator delete(void* block) noexcept { UncountedFree(block); }
void operator delete[](void* block) noexcept { UncountedFree(block); }
void operator delete(void* block, size_t) noexcept { UncountedFree(block); }
void operator delete[](void* block, size_t) noexcept { UncountedFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { UncountedFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { UncountedFree(block); }

#if defined(KQ7_COUNT_C_ALLOCATIONS)
extern "C" {
void* malloc(size_t size) noexcept {
    kq7::test::NoteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    kq7::test::NoteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) noexcept {
    kq7::test::NoteAllocation();
    return __libc_realloc(block, size);
}
void free(void* block) noexcept { __libc_free(block); }
}
#endif
