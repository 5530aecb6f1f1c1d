#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the two-sensor C example against three kq7sim --pty: two healthy
# ones and one that waits 400 ms before every reply.
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib/kq7sim.sh"
kq7sim=$1
example=$2
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

ports=()
for args in "--seed 1" "--seed 2" "--fault delay --delay-ms 400"; do
  mkdir "$work/sim${#ports[@]}"
  # shellcheck disable=SC2086
  start_kq7sim "$kq7sim" "$work/sim${#ports[@]}" $args
  pids+=("$kq7sim_pid")
  ports+=("$kq7sim_port")
done
timeout 60 "$example" "${ports[@]}"
