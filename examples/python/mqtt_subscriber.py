#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Every kq7 sensor on an MQTT broker: one line for each spectrum, with its peak.

    mqtt_subscriber.py [--host localhost] [--port 1883] [--prefix kq7]
                       [--username NAME --password-file FILE] [--cafile CA.crt] [--count N]

Needs python3-paho-mqtt and the kq7 package (only its numpy decoder, kq7.mqtt).
"""
import argparse
import sys
import time

import paho.mqtt.client as mqtt

from kq7 import mqtt as payloads


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="localhost")
    parser.add_argument("--port", type=int)
    parser.add_argument("--prefix", default="kq7")
    parser.add_argument("--username")
    parser.add_argument("--password-file", help="its first line is the password")
    parser.add_argument("--cafile", help="use TLS, trusting this CA")
    parser.add_argument("--count", type=int, help="stop after this many spectra")
    parser.add_argument("--quiet", action="store_true", help="print the summary only")
    args = parser.parse_args()

    sensors = {}  # serial: SensorInfo
    received = {"spectra": 0, "first": None}
    client = mqtt.Client()
    if args.username:
        with open(args.password_file, encoding="utf-8") as file:
            client.username_pw_set(args.username, file.readline().rstrip("\r\n"))
    if args.cafile:
        client.tls_set(ca_certs=args.cafile)

    def on_connect(client, _userdata, _flags, rc):
        if rc != 0:
            sys.exit(f"the broker refused the connection: {mqtt.connack_string(rc)}")
        client.subscribe([(f"{args.prefix}/+/{kind}", 1) for kind in ("info", "status", "spectrum")])

    def on_subscribe(*_):
        print("subscribed", flush=True)

    def on_message(_client, _userdata, message):
        parts = payloads.topic_parts(args.prefix, message.topic)
        if parts is None:
            return
        serial, kind = parts
        if kind == "info":
            sensors[serial] = payloads.decode_info(message.payload)
        elif kind == "status" and not args.quiet:
            print(f"{serial}: {payloads.decode_status(message.payload)['state']}")
        elif kind == "spectrum":
            spectrum = payloads.decode_spectrum(message.payload)
            received["spectra"] += 1
            received["first"] = received["first"] or time.monotonic()
            info = sensors.get(serial)
            if not args.quiet and info is not None and info.bands == len(spectrum.counts):
                peak = int(spectrum.counts.argmax())
                print(f"{serial} #{spectrum.sequence}: shutter {spectrum.shutter}, peak "
                      f"{spectrum.counts[peak]:.0f} counts at {info.wavelengths_nm[peak]:.1f} nm")
            if args.count and received["spectra"] >= args.count:
                client.disconnect()

    client.on_connect = on_connect
    client.on_subscribe = on_subscribe
    client.on_message = on_message
    client.connect(args.host, args.port or (8883 if args.cafile else 1883))
    client.loop_forever()
    seconds = time.monotonic() - received["first"] if received["first"] else 0
    print(f"received {received['spectra']} spectra from {len(sensors)} sensors"
          + (f", {received['spectra'] / seconds:.0f} a second" if seconds > 0 else ""))


if __name__ == "__main__":
    main()
