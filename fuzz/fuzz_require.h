/* SPDX-License-Identifier: MIT */
// The fuzz targets' check of an invariant: in every build type (assert is
// not), and a failure aborts so that libFuzzer keeps the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define KQ7_FUZZ_REQUIRE(condition)                                                             \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)
