#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Automatic exposure, one capture, and a PNG plot of counts against wavelength.

    plot_spectrum.py OUTPUT.png [--port /dev/ttyUSB0] [--percent 90]

Without --port it uses the virtual sensor kq7sim.
"""
import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # after the backend is chosen

import kq7


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="PNG file to write")
    parser.add_argument("--port", help="serial device of the sensor (default: kq7sim)")
    parser.add_argument("--baud", type=int, default=115200)
    parser.add_argument("--percent", type=int, default=90, help="peak to aim at, percent of full scale")
    args = parser.parse_args()

    with kq7.Spectrometer(args.port, args.baud) as sensor:
        shutter = sensor.auto_exposure(args.percent)
        counts = sensor.capture(shutter)
        wavelengths = sensor.wavelengths
        info = sensor.info

    figure, axes = plt.subplots(figsize=(8, 4.5))
    axes.plot(wavelengths, counts, linewidth=1)
    axes.set_xlabel("wavelength (nm)")
    axes.set_ylabel("counts")
    axes.set_ylim(0, info.full_scale)
    axes.set_title(f"{info.model} {info.serial}, shutter {shutter}")
    axes.grid(alpha=0.3)
    figure.tight_layout()
    figure.savefig(args.output, dpi=100)
    print(f"{args.output}: {info.band_count} bands, shutter {shutter}, peak {counts.max()}")


if __name__ == "__main__":
    main()
