#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The fleet benchmark of docs/performance.md: SENSORS publishers (one process
# each) at RATE spectra a second for SECONDS into one local mosquitto, one
# receiver; 512 bands in JSON and 2048 in the binary payload, at QoS 0 and 1.
#   benchmarks/mqtt_fleet.sh [BUILD_FOLDER]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/mosquitto.sh
load=${1:-build}/tools/tests/mqtt/kq7_fleet_load
readonly SENSORS=${SENSORS:-50} RATE=${RATE:-10} SECONDS_RUN=${SECONDS_RUN:-30}
work=$(mktemp -d)
# shellcheck disable=SC2317 # run by the trap
cleanup() {
  set +e
  jobs -p | xargs -r kill 2>/dev/null
  stop_mosquitto "$work"
  rm -rf "$work"
}
trap cleanup EXIT
start_mosquitto "$work"
url=mqtt://127.0.0.1:$mosquitto_port
for run in "512 json 0" "512 json 1" "2048 binary 0" "2048 binary 1"; do
  read -r bands payload qos <<<"$run"
  prefix=bench-$bands-$payload-$qos
  "$load" receive "$url" kq7 "$work/password" "$prefix" "$qos" $((SECONDS_RUN + 8)) >"$work/receive.out" &
  receiver=$!
  until grep -q subscribed "$work/receive.out"; do sleep 0.1; done
  sleep 1
  pids=()
  for i in $(seq "$SENSORS"); do
    "$load" publish "$url" kq7 "$work/password" "$prefix" "BENCH$i" "$bands" "$payload" "$qos" "$RATE" \
      "$SECONDS_RUN" >"$work/publish-$i.out" &
    pids+=($!)
  done
  wait "${pids[@]}"
  wait "$receiver"
  cpu=$(cat "$work"/publish-*.out | awk '{ cpu += $3 } END { printf "%.1f", 100 * cpu / NR / '"$SECONDS_RUN"' }')
  dropped=$(cat "$work"/publish-*.out | awk '{ d += $6 } END { print d }')
  echo "$bands bands $payload QoS $qos: $((SENSORS * RATE * SECONDS_RUN)) published, $(tail -1 "$work/receive.out"), $cpu % CPU per publisher, $dropped dropped by the publishers' queues"
done
