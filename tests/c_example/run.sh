#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the two-sensor C example against three kq7sim --pty: two healthy
# ones and one that waits 400 ms before every reply.
set -euo pipefail
kq7sim=$1
example=$2
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

ports=()
for args in "--seed 1" "--seed 2" "--fault delay --delay-ms 400"; do
  out=$work/sim${#ports[@]}
  # shellcheck disable=SC2086
  "$kq7sim" --pty $args >"$out" 2>/dev/null &
  pids+=("$!")
  for _ in $(seq 50); do
    [ -s "$out" ] && break
    sleep 0.1
  done
  ports+=("$(head -1 "$out")")
done
timeout 60 "$example" "${ports[@]}"
