# SPDX-License-Identifier: MIT
# Sourced by the checks that need a real MQTT broker: Debian's mosquitto on
# loopback, with a configuration written into a folder of the check's own.
#
# start_mosquitto FOLDER: writes FOLDER/mosquitto.conf with two listeners on
# free loopback ports, both asking for a user name and password (user "kq7",
# its password in FOLDER/password): plain MQTT and MQTT over TLS with a
# server certificate for localhost and 127.0.0.1 signed by FOLDER/ca.crt,
# made here with openssl. Starts mosquitto in the background and waits for
# both ports. Sets mosquitto_port and mosquitto_tls_port.
# restart_mosquitto FOLDER: stops the broker and starts it again on the same
# ports; its persistence keeps retained messages and QoS 1 sessions.
# stop_mosquitto FOLDER: stops the broker, if one runs; call it from the
# check's EXIT trap so that every way out stops it.
# Also runs as a script: `bash scripts/lib/mosquitto.sh restart_mosquitto FOLDER`.

# A port that no one listens on now.
_mosquitto_free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

_mosquitto_certificates() {
  local folder=$1
  (
    cd "$folder"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
      -keyout ca.key -out ca.crt -subj "/CN=kq7 check CA" 2>/dev/null
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
      -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >server.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
      -extfile server.ext -out server.crt 2>/dev/null
  )
}

_mosquitto_wait_for_ports() {
  local folder=$1 port
  for _ in $(seq 100); do
    for port in "$mosquitto_port" "$mosquitto_tls_port"; do
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || continue 2
    done
    return 0
  done
  echo "mosquitto did not open ports $mosquitto_port and $mosquitto_tls_port:" >&2
  tail -5 "$folder/mosquitto.log" >&2
  return 1
}

start_mosquitto() {
  local folder=$1
  mosquitto_port=$(_mosquitto_free_port)
  mosquitto_tls_port=$(_mosquitto_free_port)
  head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' >"$folder/password"
  mosquitto_passwd -b -c "$folder/passwords" kq7 "$(cat "$folder/password")" 2>/dev/null
  chmod 600 "$folder/passwords"
  _mosquitto_certificates "$folder"
  cat >"$folder/mosquitto.conf" <<CONF
# mosquitto drops root for this user; the folder is the check's own.
user $(id -un)
pid_file $folder/mosquitto.pid
log_dest file $folder/mosquitto.log
persistence true
persistence_location $folder/
allow_anonymous false
# A subscriber that falls behind at QoS 1 keeps every message (the default
# keeps 1000 and drops the rest).
max_queued_messages 0
password_file $folder/passwords

listener $mosquitto_port 127.0.0.1

listener $mosquitto_tls_port 127.0.0.1
cafile $folder/ca.crt
certfile $folder/server.crt
keyfile $folder/server.key
CONF
  echo "$mosquitto_port $mosquitto_tls_port" >"$folder/ports"
  mosquitto -d -c "$folder/mosquitto.conf" 2>>"$folder/mosquitto.err"
  _mosquitto_wait_for_ports "$folder"
}

stop_mosquitto() {
  local folder=$1 pid
  pid=$(cat "$folder/mosquitto.pid" 2>/dev/null) || return 0
  rm -f "$folder/mosquitto.pid"
  kill "$pid" 2>/dev/null || return 0
  # Its persistence is written on the way out.
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

restart_mosquitto() {
  local folder=$1
  stop_mosquitto "$folder"
  read -r mosquitto_port mosquitto_tls_port <"$folder/ports"
  mosquitto -d -c "$folder/mosquitto.conf" 2>>"$folder/mosquitto.err"
  _mosquitto_wait_for_ports "$folder"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  "$@"
fi
