# SPDX-License-Identifier: MIT
"""Which KQ7 sensors are attached: the serial ports the system lists (USB
adapters and ACM devices, or every port) and those named in KQ7_PORTS, each
opened exclusively and asked to identify itself, all at once, for at most
half a second. Nothing but the identification is sent; a port another
program holds is reported, not touched."""
import ctypes
import errno
import os
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from pathlib import Path
from typing import Iterable, List, Optional, Tuple

import serial
from serial.tools import list_ports

from . import _library, _results
from ._link import DeviceLink
from ._port import READ_TIMEOUT_S, _is_other_than_a_terminal
from .errors import PortError
from .spectrometer import SensorInfo, _text, _wavelengths

PROBE_TIMEOUT_S = 0.5
# Where udev keeps a link named after each USB adapter that outlives a replug.
_STABLE_NAME_FOLDER = Path("/dev/serial/by-id")

# What a probe found, in the words `kq7 list` uses.
SENSOR = "sensor"
UNIDENTIFIED = "KQ7 sensor, not identified"
NOT_A_SENSOR = "not a KQ7 sensor"
NO_ANSWER = "no answer"
IN_USE = "in use"
GONE = "gone"
NOT_A_SERIAL_PORT = "not a serial port"
CANNOT_OPEN = "cannot open"


@dataclass(frozen=True)
class FoundPort:
    port: str
    stable_name: Optional[str]  # a /dev/serial/by-id link to the port, if there is one
    state: str                  # one of the words above
    info: Optional[SensorInfo] = None  # with SENSOR
    wavelength_range: Optional[Tuple[float, float]] = None  # nm at the first and last band
    detail: str = ""            # the reason, when it is no sensor


def ports_named_in_environment() -> List[str]:
    """KQ7_PORTS: ports the system's listing does not know (pseudo-terminals,
    network bridges), separated as PATH is (':', or ';' on Windows)."""
    return [port for port in os.environ.get("KQ7_PORTS", "").split(os.pathsep) if port]


def _stable_names() -> dict:
    names = {}
    if _STABLE_NAME_FOLDER.is_dir():
        for link in _STABLE_NAME_FOLDER.iterdir():
            names.setdefault(str(link.resolve()), str(link))
    return names


def _refusal(port: str, stable: Optional[str], error: Exception) -> FoundPort:
    code = getattr(error, "errno", None)
    if code in (errno.EBUSY, errno.EAGAIN):  # TIOCEXCL, or another program's lock
        state = IN_USE
    elif code == errno.ENOENT:
        state = GONE
    elif os.name == "posix" and _is_other_than_a_terminal(port):
        state = NOT_A_SERIAL_PORT
    else:
        state = CANNOT_OPEN
    return FoundPort(port, stable, state, detail=str(error))


# Enough of what a port sent to recognise it.
_BYTES_KEPT = 16


class _RecordingPort:
    """The port as DeviceLink uses it, keeping the first bytes each way."""

    def __init__(self, port: serial.Serial):
        self._port = port
        self.sent = b""
        self.seen = b""

    @property
    def in_waiting(self) -> int:
        return self._port.in_waiting

    def write(self, data: bytes) -> None:
        self.sent += data[:max(0, _BYTES_KEPT - len(self.sent))]
        self._port.write(data)

    def read(self, size: int) -> bytes:
        data = self._port.read(size)
        self.seen += data[:max(0, _BYTES_KEPT - len(self.seen))]
        return data


def _failure(library, port: str, stable: Optional[str], link: DeviceLink, recorded: _RecordingPort,
             result: int) -> FoundPort:
    if link.failure is not None:
        return FoundPort(port, stable, GONE, detail=str(link.failure))
    if not recorded.seen:
        return FoundPort(port, stable, NO_ANSWER)
    # A port that sends back its own requests passes them for replies.
    if recorded.sent.startswith(recorded.seen):
        return FoundPort(port, stable, NOT_A_SENSOR, detail="echoes what it is sent")
    if result in (_library.ERR_BUSY, _library.ERR_BAD_IDENTIFICATION):
        return FoundPort(port, stable, UNIDENTIFIED, detail=_results.text(library, result))
    return FoundPort(port, stable, NOT_A_SENSOR, detail="answered " + recorded.seen.hex(" "))


def _identify(library, opened: serial.Serial, port: str, stable: Optional[str], timeout: float) -> FoundPort:
    recorded = _RecordingPort(opened)
    link = DeviceLink(recorded, library, port)
    device = library.kq7_open(link.write_fn, link.read_fn, None)
    if not device:
        raise MemoryError("kq7_open found no memory for a device")
    link.device = device
    try:
        link.begin_call(time.monotonic() + timeout)
        result = library.kq7_identify(device)
        if result != 0 or link.failure is not None:
            return _failure(library, port, stable, link, recorded, result)
        record = _library.SensorInfoC()
        library.kq7_get_info(device, ctypes.byref(record))
    finally:
        library.kq7_close(device)
    info = SensorInfo(_text(record.identField1), _text(record.identField2), record.bandnumber,
                      record.maxValue, tuple(float(a) for a in record.coeff))
    axis = _wavelengths(library, record)
    return FoundPort(port, stable, SENSOR, info, (float(axis[0]), float(axis[-1])))


def _probe(library, port: str, stable: Optional[str], baud: int, timeout: float) -> FoundPort:
    try:
        # exclusive: a lock that keeps out kq7 and any other locking program,
        # root's included.
        opened = serial.Serial(port, baudrate=baud, timeout=READ_TIMEOUT_S, exclusive=True)
    except (serial.SerialException, OSError) as error:
        return _refusal(port, stable, error)
    with opened:
        opened.reset_input_buffer()
        return _identify(library, opened, port, stable, timeout)


def list_sensors(ports: Optional[Iterable[str]] = None, *, all_ports: bool = False, baud: int = 115200,
                 timeout: float = PROBE_TIMEOUT_S) -> List[FoundPort]:
    """Probes `ports`, or else the USB adapters and ACM devices the system
    lists (every serial port with `all_ports`) and those in KQ7_PORTS, in
    parallel; one FoundPort each, in that order."""
    if ports is None:
        listed = [info.device for info in list_ports.comports() if all_ports or info.vid is not None]
        ports = listed + ports_named_in_environment()
    paths = list(dict.fromkeys(ports))  # each once, the order kept
    library = _library.load()
    stable = _stable_names()
    if not paths:
        return []
    with ThreadPoolExecutor(max_workers=len(paths)) as pool:
        return list(pool.map(lambda port: _probe(library, port, stable.get(os.path.realpath(port)), baud, timeout),
                             paths))


def port_of_sensor(serial_number: str, baud: int = 115200) -> str:
    """The port of the one sensor that reports `serial_number` among those
    list_sensors() finds; PortError listing what it found when none or
    several do."""
    found = list_sensors(baud=baud)
    matches = [entry.port for entry in found if entry.state == SENSOR and entry.info.serial == serial_number]
    if len(matches) == 1:
        return matches[0]
    seen = "; ".join(f"{entry.port}: {entry.info.serial if entry.info else entry.state}" for entry in found)
    what = f"{len(matches)} ports hold sensor {serial_number}" if matches else f"no port holds sensor {serial_number}"
    raise PortError(f"{what}; found: {seen or 'no serial port (KQ7_PORTS names more)'}")
