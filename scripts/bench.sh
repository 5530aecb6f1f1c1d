#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up a fresh Debian 12 machine, builds a Release with the benchmarks and
# prints the figures: the benchmark suite (three repetitions, means), then the
# CPU time of kq7 waiting on a pseudo-terminal. Extra arguments go to the
# benchmark program (e.g. --benchmark_filter=Crc16).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh build tools calibration serve benchmarks
build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKQ7_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kq7_benchmarks kq7 kq7sim

"$build"/benchmarks/kq7_benchmarks --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
echo
benchmarks/pty_cpu.sh "$build"/tools
