# SPDX-License-Identifier: MIT
"""Runs kq7sim --pty in the background and kq7 --port against it.

The package kq7 finds the binaries: $KQ7 and $KQ7SIM, or the build trees.
"""
import os
import pathlib
import subprocess
import time

import pytest

import kq7 as kq7_package
from kq7 import _locate

KQ7 = _locate.program("kq7", "KQ7")

# Every kq7 run ends well within this, also against a silent sensor (the
# identification gives up after about 5 s).
RUN_TIMEOUT_S = 30


def kq7(*args, **kwargs):
    """Runs kq7 ARGS (subprocess.run's KWARGS) with no sensor of its own; returns the CompletedProcess."""
    return subprocess.run([KQ7, *args], capture_output=True, text=True, timeout=RUN_TIMEOUT_S, **kwargs)


class Simulator(kq7_package.Simulator):
    """One kq7sim --pty process, stopped by stop()."""

    def kq7(self, *args, **kwargs):
        """Runs kq7 --port PORT -q ARGS (subprocess.run's KWARGS); returns the CompletedProcess."""
        return kq7("--port", self.port, "-q", *args, **kwargs)


@pytest.fixture
def simulator(request):
    """A healthy kq7sim, or one with the options given by indirect parametrisation."""
    with Simulator(quiet=True, **getattr(request, "param", {})) as sim:
        yield sim


@pytest.fixture
def pty():
    """(master, slave) descriptors of a fresh pseudo-terminal."""
    master, slave = os.openpty()
    yield master, slave
    os.close(master)
    os.close(slave)


def split_csv(text):
    """(metadata, header, data lines) of a kq7 CSV: metadata as a dict of its '# key: value' lines."""
    lines = text.splitlines()
    comments = [line[2:].split(": ", 1) for line in lines if line.startswith("# ")]
    data = [line for line in lines if not line.startswith("#")]
    return dict(comments), data[0], data[1:]


def read_csv(path):
    """(header, rows) of a kq7 CSV: rows as (band, wavelength, counts)."""
    _, header, lines = split_csv(pathlib.Path(path).read_text())
    rows = [line.split(",") for line in lines]
    return header, [(int(b), float(w), float(c)) for b, w, c in rows]


def elapsed(start):
    return time.monotonic() - start
