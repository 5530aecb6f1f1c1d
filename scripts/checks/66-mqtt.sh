#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kq7's MQTT side against a real broker: Debian's mosquitto on loopback with
# a password file and a TLS listener (scripts/lib/mosquitto.sh), stopped on
# every way out. Runs the broker tests of the build made by 10-build.sh
# (publisher, subscriber and recorder; wrong password and certificate; an
# unreachable broker; SIGKILL and the last will; settings requests; a broker
# restart), then the Python decoder in the paho example subscriber over TLS,
# fed by one publisher with 512-band spectra in both payloads at QoS 1, and
# prints the rates. The JSON messages it published are held against the
# schemas of docs/mqtt/. Last, the README's fleet end to end
# (tools/tests/mqtt/fleet_check.py): three kq7 publish on three kq7sim --pty,
# kq7 record into CSV and into HDF5 (read back with h5py) and the fleet page
# of kq7 serve --broker in headless Chromium, a broker restart, a publisher
# killed, settings taken and refused.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/mosquitto.sh

build=build/ci
work=$(mktemp -d)
subscriber_pid=
# shellcheck disable=SC2317 # run by the trap
cleanup() {
  set +e
  [ -n "$subscriber_pid" ] && kill "$subscriber_pid" 2>/dev/null
  stop_mosquitto "$work"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

start_mosquitto "$work"
echo "mosquitto on 127.0.0.1:$mosquitto_port (MQTT) and :$mosquitto_tls_port (MQTT over TLS)"

KQ7_TEST_BROKER_FOLDER=$work KQ7_TEST_BROKER_RESTART="bash scripts/lib/mosquitto.sh restart_mosquitto $work" \
  timeout 300 "$build/tools/tests/mqtt/kq7_broker_tests" --gtest_brief=1

readonly SPECTRA=5000 BANDS=512
broker_args=(-h 127.0.0.1 -p "$mosquitto_port" -u kq7 -P "$(cat "$work/password")")
mosquitto_sub "${broker_args[@]}" -t load-json/+/spectrum -C 1 -W 60 >"$work/spectrum.json" &
for payload in json binary; do
  PYTHONPATH=python timeout 120 /usr/bin/python3 examples/python/mqtt_subscriber.py --host localhost \
    --port "$mosquitto_tls_port" --cafile "$work/ca.crt" --username kq7 --password-file "$work/password" \
    --prefix "load-$payload" --count "$SPECTRA" --quiet >"$work/subscriber.out" 2>&1 &
  subscriber_pid=$!
  for _ in $(seq 100); do
    grep -q subscribed "$work/subscriber.out" && break
    sleep 0.1
  done
  echo -n "publisher: "
  timeout 120 "$build/tools/tests/mqtt/kq7_publish_load" "mqtts://localhost:$mosquitto_tls_port" kq7 \
    "$work/password" "load-$payload" "$BANDS" "$payload" 1 "$SPECTRA" "$work/ca.crt" </dev/null ||
    { echo "the publisher did not deliver every spectrum"; exit 1; }
  wait "$subscriber_pid" || { cat "$work/subscriber.out"; exit 1; }
  subscriber_pid=
  echo -n "Python subscriber: "
  tail -n 1 "$work/subscriber.out"
  grep -q "^received $SPECTRA spectra from 1 sensors" "$work/subscriber.out"
done

# Retained: the info, and the status that the publisher left ("offline").
mosquitto_sub "${broker_args[@]}" -t load-json/+/info -C 1 -W 5 >"$work/info.json"
mosquitto_sub "${broker_args[@]}" -t load-json/+/status -C 1 -W 5 >"$work/status.json"
wait
/usr/bin/python3 - "$work" <<'PY'
import json, pathlib, sys
import jsonschema
work = pathlib.Path(sys.argv[1])
for name in ("info", "status", "spectrum"):
    schema = json.loads(pathlib.Path(f"docs/mqtt/{name}.schema.json").read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    jsonschema.validate(json.loads((work / f"{name}.json").read_text()), schema, cls=jsonschema.Draft202012Validator)
print("the published info, status and spectrum match docs/mqtt/*.schema.json")
PY

echo "the fleet of the README, end to end:"
timeout 240 /usr/bin/python3 tools/tests/mqtt/fleet_check.py "$build" "$work" "$mosquitto_port"
