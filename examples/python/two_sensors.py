#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Two sensors at once, each exposed and captured on its own thread.

    two_sensors.py [PORT PORT]

Without ports it starts two virtual sensors (kq7sim) with different seeds.
Ctrl-C ends both at once.
"""
import argparse
import contextlib
import threading

import kq7


def measure(sensor: kq7.Spectrometer, results: dict) -> None:
    try:
        shutter = sensor.auto_exposure(90, timeout=30)
        spectrum = sensor.capture(shutter, average=10, timeout=30)
    except kq7.SensorError as error:  # closing on Ctrl-C cancels the call too
        results[sensor.port] = f"failed: {error}"
        return
    peak = int(spectrum.argmax())
    results[sensor.port] = (
        f"{sensor.info.model} {sensor.info.serial}: {sensor.info.band_count} bands, shutter {shutter}, "
        f"peak {spectrum[peak]:.0f} at {sensor.wavelengths[peak]:.1f} nm"
    )


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("ports", nargs="*", help="two serial devices (default: two kq7sim)")
    args = parser.parse_args()
    if len(args.ports) not in (0, 2):
        parser.error("give two ports or none")

    with contextlib.ExitStack() as stack:
        ports = args.ports or [stack.enter_context(kq7.Simulator(quiet=True, seed=seed)).port for seed in (1, 2)]
        sensors = [stack.enter_context(kq7.Spectrometer(port)) for port in ports]
        results = {}
        threads = [threading.Thread(target=measure, args=(sensor, results)) for sensor in sensors]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        for sensor in sensors:
            print(f"{sensor.port}: {results.get(sensor.port, 'no result')}")


if __name__ == "__main__":
    main()
