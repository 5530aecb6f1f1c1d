#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time, starting from
# the seed corpus in fuzz/corpus. A crash, a sanitizer report, a leak, a
# broken invariant or an input that takes longer than the time-out fails the
# check; the input is kept under build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${KQ7_FUZZ_SECONDS:-60}
build=build/fuzz
targets=(codec exchanges exports http)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKQ7_BUILD_FUZZERS=ON -DKQ7_BUILD_TESTS=OFF -DKQ7_BUILD_TOOLS=ON \
  -DKQ7_SANITIZE=address,undefined -Wno-dev
cmake --build "$build" --target kq7_fuzzers -j"$(nproc)"

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

run() {
  local target=$1
  local corpus=$build/corpus/$target artifacts=$build/artifacts/$target/
  mkdir -p "$corpus" "$artifacts"
  "$build/fuzz/kq7_fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" "fuzz/corpus/$target" \
    >"$build/$target.log" 2>&1
}

# All targets at once: the run takes one time budget however many there are.
pids=()
status=0
for target in "${targets[@]}"; do
  run "$target" &
  pids+=("$!")
done
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done

for target in "${targets[@]}"; do
  log=$build/$target.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz $target: ${runs:-?} executions in ${seconds} s, corpus $(find "$build/corpus/$target" -type f | wc -l) inputs"
  if grep -qE '^(==[0-9]+==ERROR|SUMMARY: |.*runtime error:|.*invariant broken)' "$log" || [ -z "$runs" ]; then
    status=1
    tail -n 60 "$log"
  fi
done
exit "$status"
