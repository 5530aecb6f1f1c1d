# SPDX-License-Identifier: MIT
"""The virtual sensor `kq7sim --pty` as a child process: a pseudo-terminal that
answers like a KQ7 sensor, for use without hardware."""
import os
import select
import subprocess
import time
from typing import Optional

from . import _locate
from .errors import SimulatorNotFound

SIMULATOR_VARIABLE = "KQ7SIM"
_START_TIMEOUT_S = 5.0
_STOP_TIMEOUT_S = 5.0


def simulator_path() -> str:
    """$KQ7SIM alone when set; else the build trees of this checkout, then
    kq7sim on PATH."""
    try:
        return _locate.program("kq7sim", SIMULATOR_VARIABLE)
    except FileNotFoundError as error:
        raise SimulatorNotFound(
            f"{error}. Build the project, install it, or set {SIMULATOR_VARIABLE} to its path"
        ) from None


class Simulator:
    """Runs `kq7sim --pty` with the given options until stopped.

    Options become command-line flags: Simulator(fault="silent", delay_ms=50)
    runs `kq7sim --pty --fault silent --delay-ms 50`. quiet drops the
    simulator's own messages on standard error.
    """

    def __init__(self, *, quiet: bool = False, **options):
        self._quiet = quiet
        self._arguments = [simulator_path(), "--pty"]
        for name, value in options.items():
            self._arguments += ["--" + name.replace("_", "-"), str(value)]
        self._process: Optional[subprocess.Popen] = None
        self.port: Optional[str] = None

    def start(self) -> str:
        """Starts the process and returns the path of its pseudo-terminal."""
        try:
            self._process = subprocess.Popen(
                self._arguments,
                stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL if self._quiet else None,
                bufsize=0,
            )
        except OSError as error:
            raise SimulatorNotFound(f"cannot run {self._arguments[0]}: {error}") from error
        try:
            self.port = self._first_line()
        except BaseException:
            self.stop()
            raise
        return self.port

    def _first_line(self) -> str:
        output = self._process.stdout
        deadline = time.monotonic() + _START_TIMEOUT_S
        line = b""
        while not line.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([output], [], [], remaining)[0]:
                raise SimulatorNotFound(f"kq7sim printed no device path within {_START_TIMEOUT_S} s")
            chunk = os.read(output.fileno(), 1)
            if not chunk:
                raise SimulatorNotFound(f"kq7sim exited with status {self._process.wait()} before printing its device path")
            line += chunk
        return line.decode().strip()

    @property
    def pid(self) -> Optional[int]:
        """The process id while it runs (to pause it with SIGSTOP, say)."""
        return None if self._process is None else self._process.pid

    def stop(self) -> Optional[int]:
        """Terminates the process, killing it if it does not end in time;
        returns its exit status (None when it was not running)."""
        process, self._process = self._process, None
        if process is None:
            return None
        process.terminate()
        try:
            process.wait(timeout=_STOP_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        process.stdout.close()
        return process.returncode

    def __enter__(self) -> "Simulator":
        self.start()
        return self

    def __exit__(self, *exc_info) -> None:
        self.stop()
