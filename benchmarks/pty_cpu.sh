#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The CPU time that kq7 spends while it waits for spectra on a pseudo-terminal
# served by kq7sim at a real baud rate: the user and system time of the kq7
# process, as the kernel accounts them (the shell's `time`), per second of
# wall time, in percent of one core.
#
# Usage: benchmarks/pty_cpu.sh TOOLS_DIR [BAUD] [SHUTTER] [CAPTURES]
#   TOOLS_DIR  folder holding the kq7 and kq7sim programs
#   defaults   115200 baud, shutter value 2000, 50 captures averaged (about
#              90 ms of transfer each at 115200 baud)
set -euo pipefail

tools=${1:?usage: $0 TOOLS_DIR [BAUD] [SHUTTER] [CAPTURES]}
baud=${2:-115200}
shutter=${3:-2000}
captures=${4:-50}
target_percent=5

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$tools/kq7sim" --pty --baud "$baud" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
# The first line of kq7sim's output is the device path.
for _ in $(seq 100); do
  [ "$(wc -l <"$work/sim.out")" -ge 1 ] && break
  sleep 0.05
done
port=$(head -n 1 "$work/sim.out")
if [ -z "$port" ]; then
  echo "kq7sim gave no device path: $(cat "$work/sim.err")" >&2
  exit 1
fi

TIMEFORMAT='%3R %3U %3S'
if ! { time "$tools/kq7" --port "$port" --baud "$baud" -q capture --shutter "$shutter" --average "$captures" \
  >/dev/null 2>"$work/kq7.err"; } 2>"$work/time"; then
  echo "kq7 failed: $(cat "$work/kq7.err")" >&2
  exit 1
fi

read -r real user sys <"$work/time"
awk -v real="$real" -v user="$user" -v sys="$sys" -v baud="$baud" -v shutter="$shutter" \
  -v captures="$captures" -v target="$target_percent" 'BEGIN {
  percent = (user + sys) / real * 100
  printf "kq7 over a pty at %d baud, shutter %d, %d captures: %.2f s wall, %.3f s user, %.3f s system\n",
    baud, shutter, captures, real, user, sys
  printf "%-44s %.2f %% of one core (target < %d %%: %s)\n", "kq7 CPU per second of capture",
    percent, target, percent < target ? "met" : "NOT MET"
}'
