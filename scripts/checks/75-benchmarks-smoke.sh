#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the benchmarks into the CI build (warnings as errors) and runs each
# one briefly: they must build and run without an error. No figure is judged.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/ci
cmake -S . -B "$build" -DKQ7_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kq7_benchmarks
timeout 120 "$build"/benchmarks/kq7_benchmarks --benchmark_min_time=0.01
