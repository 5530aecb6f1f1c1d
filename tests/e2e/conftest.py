# SPDX-License-Identifier: MIT
"""Runs kq7sim --pty in the background and kq7 --port against it.

The binaries come from KQ7_BIN and KQ7SIM_BIN, or from build/ci/tools.
"""
import os
import pathlib
import subprocess
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
TOOLS = ROOT / "build" / "ci" / "tools"
KQ7 = os.environ.get("KQ7_BIN", str(TOOLS / "kq7"))
KQ7SIM = os.environ.get("KQ7SIM_BIN", str(TOOLS / "kq7sim"))

# Every kq7 run ends well within this, also against a silent sensor (the
# identification gives up after about 5 s).
RUN_TIMEOUT_S = 30


def kq7(*args, **kwargs):
    """Runs kq7 ARGS (subprocess.run's KWARGS) with no sensor of its own; returns the CompletedProcess."""
    return subprocess.run([KQ7, *args], capture_output=True, text=True, timeout=RUN_TIMEOUT_S, **kwargs)


class Simulator:
    """One kq7sim --pty process, stopped by stop()."""

    def __init__(self, *args):
        self.process = subprocess.Popen(
            [KQ7SIM, "--pty", *args],
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
        )
        self.port = self.process.stdout.readline().strip()
        if not self.port.startswith("/dev/"):
            self.stop()
            raise RuntimeError("kq7sim printed no device path: " + self.process.stderr.read())

    def kq7(self, *args, **kwargs):
        """Runs kq7 --port PORT -q ARGS (subprocess.run's KWARGS); returns the CompletedProcess."""
        return kq7("--port", self.port, "-q", *args, **kwargs)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()
        return self.process.returncode


@pytest.fixture
def simulator(request):
    """A healthy kq7sim, or one with the fault given by indirect parametrisation."""
    args = getattr(request, "param", ())
    sim = Simulator(*args)
    yield sim
    sim.stop()


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
