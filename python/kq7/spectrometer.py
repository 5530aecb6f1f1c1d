# SPDX-License-Identifier: MIT
"""One KQ7 sensor on a serial port, driven through nerb_kq7lib."""
import ctypes
import operator
import threading
from dataclasses import dataclass
from typing import Optional, Tuple

import numpy as np
import serial

from . import _library
from ._console import Console
from ._host import SerialHost
from .errors import SensorError
from .simulator import Simulator

# Short, so that the library's polling blocks in the read instead of spinning.
_READ_TIMEOUT_S = 0.02
_INT32_MAX = 2**31 - 1

# The library keeps one process-wide sensor: one Spectrometer at a time, and
# one call at a time even when several threads use it.
_active_lock = threading.Lock()
_active: Optional["Spectrometer"] = None
_call_lock = threading.Lock()


@dataclass(frozen=True)
class SensorInfo:
    model: str
    serial: str
    band_count: int
    full_scale: int
    # a0 (cubic term) to a3 (constant), as the sensor stores them, in the
    # single precision in which the library hands them over.
    coefficients: Tuple[float, float, float, float]


def _text(field: bytes) -> str:
    return field.decode("ascii", errors="replace")


def _wavelengths(coefficients, band_count: int) -> np.ndarray:
    a0, a1, a2, a3 = coefficients
    n = np.arange(1, band_count + 1, dtype=np.float64)
    return a0 * n**3 + a1 * n**2 + a2 * n + a3


class Spectrometer:
    """A KQ7 sensor, identified on opening.

    port: serial device path; None starts the virtual sensor `kq7sim --pty`
    and stops it on close. quiet: hide the library's console output (hex
    dumps of every frame) and the simulator's messages; False lets them
    through to standard output and standard error.

    Only one Spectrometer may be open in a process. Calls block until the
    sensor has answered or the library's time limits have passed.
    """

    def __init__(self, port: Optional[str] = None, baud: int = 115200, *, quiet: bool = True):
        self._claim()
        self._simulator: Optional[Simulator] = None
        self._serial = None
        self._host: Optional[SerialHost] = None
        try:
            if port is None:
                self._simulator = Simulator(quiet=quiet)
                port = self._simulator.start()
            self._serial = serial.Serial(port, baudrate=baud, timeout=_READ_TIMEOUT_S)
            # Bytes a previous program left unread would pass for replies.
            self._serial.reset_input_buffer()
            self._lib = _library.load()
            self._console = Console(quiet)
            self._host = SerialHost(self._serial)
            self._lib.KQ7Set_Serial_FUN(self._host.write_fn, self._host.read_fn)
            self._identify()
        except BaseException:
            self.close()
            raise

    def _claim(self) -> None:
        global _active
        with _active_lock:
            if _active is not None:
                raise RuntimeError("a Spectrometer is already open: the library drives one sensor per process")
            _active = self

    def _release(self) -> None:
        global _active
        with _active_lock:
            if _active is self:
                _active = None

    @property
    def closed(self) -> bool:
        return self._host is None

    def _call(self, export, *arguments):
        with _call_lock:
            if self.closed:
                raise SensorError("the spectrometer is closed")
            with self._console.around_call():
                result = export(*arguments)
            self._host.raise_pending()
            return result

    def _identify(self) -> None:
        # A failed identification may leave the library with another band
        # count than `info`: capturing into a buffer of the old size would
        # overrun it, so nothing captures until one succeeds.
        self._identified = False
        if self._call(self._lib.KQ7SensorInit) != 1:
            raise SensorError("identification failed: no valid answer to the identification, band count or coefficient query")
        record = self._call(self._lib.KQ7Get_SensorInfo)
        if record.bandnumber < 1:
            raise SensorError(f"the sensor reports {record.bandnumber} bands")
        self._info = SensorInfo(
            model=_text(record.identField1),
            serial=_text(record.identField2),
            band_count=record.bandnumber,
            full_scale=record.maxValue,
            coefficients=tuple(float(a) for a in record.coeff),
        )
        self._wavelengths = _wavelengths(self._info.coefficients, self._info.band_count)
        self._wavelengths.flags.writeable = False
        self._identified = True

    def _require_identification(self) -> None:
        if not self._identified:
            raise SensorError("the sensor is not identified: its last identification failed")

    @property
    def info(self) -> SensorInfo:
        return self._info

    @property
    def wavelengths(self) -> np.ndarray:
        """Wavelength of each band (read-only): the cubic in the band number,
        counted from 1, with a0 the cubic term."""
        return self._wavelengths

    def capture(self, shutter: int) -> np.ndarray:
        """One spectrum at `shutter`: uint16 counts, one per band."""
        shutter = _checked_int("shutter", shutter, 0, _INT32_MAX)
        self._require_identification()
        spectrum = np.zeros(self._info.band_count, dtype=np.uint16)
        samples = spectrum.ctypes.data_as(ctypes.POINTER(ctypes.c_uint16))
        bands = self._call(self._lib.KQ7GetData, samples, shutter)
        if bands != self._info.band_count:
            raise SensorError(f"capture at shutter {shutter} failed: the sensor did not deliver a spectrum")
        return spectrum

    def auto_exposure(self, percent: int = 90) -> int:
        """Searches the shutter value at which the largest sample lies between
        95 % and 100 % of `percent` of full scale, and returns it. A search that
        does not settle returns its bound, 12 or 10000."""
        percent = _checked_int("percent", percent, 1, 100)
        self._require_identification()
        shutter = self._call(self._lib.KQ7OptSnenser, percent)
        if shutter == 0:
            raise SensorError(f"automatic exposure to {percent} % failed: a capture got no spectrum")
        return shutter

    def shutter(self, open: bool) -> None:
        """Opens or closes the shutter. The library reports no outcome for it."""
        self._call(self._lib.KQ7SetShutterOpen, 1 if open else 0)

    def write_coefficients(self, a0: float, a1: float, a2: float, a3: float) -> None:
        """Stores a new wavelength calibration in the sensor, then identifies it
        again so that `info` and `wavelengths` show what the sensor now holds."""
        coefficients = (ctypes.c_double * 4)(a0, a1, a2, a3)
        if self._call(self._lib.KQ7SetWeaveLenthCoeff, coefficients, len(coefficients)) != 1:
            raise SensorError("writing the wavelength coefficients failed: the sensor did not acknowledge")
        self._identify()

    def close(self) -> None:
        """Unregisters the host functions, closes the port, stops a simulator."""
        try:
            with _call_lock:
                if self._host is not None:
                    # Null function pointers: the library never calls freed callbacks.
                    self._lib.KQ7Set_Serial_FUN(_library.SerialWriteFn(), _library.SerialReadFn())
                    self._host = None
            if self._serial is not None:
                self._serial.close()
                self._serial = None
        finally:
            if self._simulator is not None:
                self._simulator.stop()
                self._simulator = None
            self._release()

    def __enter__(self) -> "Spectrometer":
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def __del__(self):
        if getattr(self, "_host", None) is not None or getattr(self, "_simulator", None) is not None:
            self.close()


def _checked_int(name: str, value, lowest: int, highest: int) -> int:
    value = operator.index(value)
    if not lowest <= value <= highest:
        raise ValueError(f"{name} must lie in {lowest}..{highest}, not {value}")
    return value
