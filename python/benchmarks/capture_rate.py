#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The cost of captures from Python beside the command line's, on the same
kind of link: one `kq7sim --pty` (no baud pacing) for each measurement.

    capture_rate.py [KQ7] [--captures 200] [--shutter 100] [--runs 5]

KQ7 is the command-line program (default: this checkout's build tree). The
command line's time is the whole `kq7 capture --average N` process, which
includes its identification; the Python figure is N capture() calls on an
identified Spectrometer, and beside it the same with the opening and
identification. The two are measured in turns; each figure is the median of
the runs.
"""
import argparse
import statistics
import subprocess
import time

import kq7
from kq7 import _locate

_RUN_TIMEOUT_S = 60


def _default_kq7() -> str:
    built = [path for path in _locate.in_build_trees("tools/kq7") if path.is_file()]
    return str(built[0]) if built else "kq7"


def command_line(program: str, captures: int, shutter: int) -> float:
    with kq7.Simulator(quiet=True) as simulator:
        start = time.perf_counter()
        subprocess.run(
            [program, "--port", simulator.port, "-q", "capture", "--shutter", str(shutter),
             "--average", str(captures), "-o", "/dev/null"],
            check=True, stdout=subprocess.DEVNULL, timeout=_RUN_TIMEOUT_S,
        )
        return time.perf_counter() - start


def python(captures: int, shutter: int):
    """(the captures alone, with opening and identification) in seconds."""
    with kq7.Simulator(quiet=True) as simulator:
        start = time.perf_counter()
        with kq7.Spectrometer(simulator.port) as sensor:
            captures_start = time.perf_counter()
            for _ in range(captures):
                sensor.capture(shutter)
            end = time.perf_counter()
        return end - captures_start, end - start


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("kq7", nargs="?", default=_default_kq7(), help="the kq7 program")
    parser.add_argument("--captures", type=int, default=200)
    parser.add_argument("--shutter", type=int, default=100)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    # Taken in turns, so that both meet the same load.
    runs = [(command_line(args.kq7, args.captures, args.shutter), *python(args.captures, args.shutter))
            for _ in range(args.runs)]
    cli, alone, whole = (statistics.median(figures) for figures in zip(*runs))
    print(f"{args.captures} captures at shutter value {args.shutter}, median of {args.runs} runs")
    print(f"kq7 capture --average {args.captures} (with identification): {cli:.3f} s")
    print(f"Python, captures alone: {alone:.3f} s, ratio {alone / cli:.2f}")
    print(f"Python, with opening and identification: {whole:.3f} s, ratio {whole / cli:.2f}")


if __name__ == "__main__":
    main()
