// What every fuzz target shares besides the clock: checking the library's
// invariants and keeping its console output out of the way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "link/frame_format.h"
#include "link/transport.h"

// Checked in every build type (assert is not); a failure aborts so that
// libFuzzer keeps the input that caused it.
#define KQ7_FUZZ_REQUIRE(condition)                                                             \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

namespace kq7::fuzz {

// A payload length that fits RxBuffer, or one of the codes a receive or
// exchange may return (ERR_NULL_ARGUMENT cannot reach it).
inline bool IsExchangeResult(int64_t result) {
    return (result >= 0 && result <= kMaxReplyPayload) || result == ERR_FRAME_LENGTH ||
           result == ERR_FRAME_HEADER || result == ERR_FRAME_COMMAND || result == ERR_FRAME_CRC ||
           result == NO_REPLY;
}

// The library prints a line per frame; to a fuzzer that is only lost time.
inline void SilenceConsole() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("freopen /dev/null");
    }
}

}  // namespace kq7::fuzz
