# SPDX-License-Identifier: MIT
# Sourced by every check and test script that needs a virtual sensor on a
# pseudo-terminal: the one place that starts `kq7sim --pty` and reads its path.

# start_kq7sim KQ7SIM FOLDER [OPTION...]: starts KQ7SIM --pty in the
# background, its output in FOLDER/sim.out and sim.err, and waits up to 5 s
# for the path it serves. Sets kq7sim_pid and kq7sim_port; when no path came,
# stops the simulator and returns 1, with its messages on standard error.
start_kq7sim() {
  local bin=$1 folder=$2
  shift 2
  "$bin" --pty "$@" >"$folder/sim.out" 2>"$folder/sim.err" &
  kq7sim_pid=$!
  kq7sim_port=
  for _ in $(seq 50); do
    kq7sim_port=$(head -n 1 "$folder/sim.out")
    [ -n "$kq7sim_port" ] && return 0
    sleep 0.1
  done
  kill "$kq7sim_pid" 2>/dev/null || true
  cat "$folder/sim.err" >&2
  return 1
}
