#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything with AddressSanitizer (leak detection on) and
# UndefinedBehaviorSanitizer and runs the whole test suite there. The first
# report of either ends the test that caused it, so any report fails. Then
# builds the unit tests with ThreadSanitizer and runs those that use threads.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/asan
# Unoptimised and without debug information: the quickest build, and the
# sanitizers need neither to report.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O0 -g0" \
  -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g0" -DKQ7_WERROR=ON -DKQ7_SANITIZE=address,undefined
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# ThreadSanitizer over the tests that drive devices from several threads.
build=build/tsan
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g0" \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g0" -DKQ7_WERROR=ON -DKQ7_BUILD_TOOLS=OFF -DKQ7_SANITIZE=thread
cmake --build "$build" -j"$(nproc)" --target kq7_tests
TSAN_OPTIONS=halt_on_error=1 "$build"/tests/kq7_tests --gtest_filter='*OnTwoThreads*:*AnotherThread*'
