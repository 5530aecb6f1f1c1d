# SPDX-License-Identifier: MIT
"""One KQ7 sensor on a serial port, driven through the library's device
interface: any number of them at once, each on its own port."""
import ctypes
import math
import operator
import threading
import time
from dataclasses import dataclass
from typing import Optional, Tuple

import numpy as np

from . import _csv, _library, _results
from ._link import DeviceLink
from ._port import open_port
from .errors import ExposureOutOfRange, PortError, SensorError, SensorTimeout
from .simulator import Simulator

_INT32_MAX = 2**31 - 1
_AVERAGE_MAX = 1000
# Reopening the shutter after a dark capture that failed must not block for
# the library's full time limit when the sensor has gone silent.
_RESTORE_TIMEOUT_S = 0.3


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


def _wavelengths(library, record) -> np.ndarray:
    # The library's own evaluation, so that every host shows the same axis
    # to the last bit. It refuses a record without bands: that axis is empty.
    nm = np.zeros(max(record.bandnumber, 0), dtype=np.float64)
    if nm.size:
        buffer = nm.ctypes.data_as(ctypes.POINTER(ctypes.c_double))
        library.kq7_wavelengths(ctypes.byref(record), buffer, nm.size)
    return nm


def _deadline(timeout: Optional[float]) -> Optional[float]:
    if timeout is None:
        return None
    if not timeout > 0:
        raise ValueError(f"timeout must be positive seconds, not {timeout}")
    return time.monotonic() + timeout


def _milliseconds_left(deadline: Optional[float]) -> int:
    """kq7_set_timeout's value for a call that must end by `deadline`: 0 (the
    library's own limits) without one, at least 1 ms with one."""
    if deadline is None:
        return 0
    return min(max(1, math.ceil((deadline - time.monotonic()) * 1000)), 2**31 - 1)


class Spectrometer:
    """A KQ7 sensor, identified on opening.

    port: serial device path; None starts the virtual sensor `kq7sim --pty`
    and stops it on close. serial: instead of port, the serial number of the
    sensor, looked for with list_sensors(). timeout: seconds that the identification may take
    (None: the library's own limits).

    Every blocking method takes `timeout` (seconds, None: the library's own
    limits) and raises SensorTimeout when it passes. Ctrl-C ends a blocked
    call at once and raises KeyboardInterrupt from it. cancel() ends a call
    from another thread with Cancelled. The library's log lines (frame dumps,
    retries) go to the logger "kq7" at DEBUG.

    Threads may share a Spectrometer: calls on it take turns.
    """

    def __init__(self, port: Optional[str] = None, baud: int = 115200, *, serial: Optional[str] = None,
                 timeout: Optional[float] = None):
        # Guards the device handle against cancel() racing close().
        self._handle_lock = threading.RLock()
        # One library call at a time on this sensor.
        self._call_lock = threading.Lock()
        self._device = None
        self._serial = None
        self._simulator: Optional[Simulator] = None
        try:
            self._lib = _library.load()
            if serial is not None:
                if port is not None:
                    raise ValueError("give port or serial, not both")
                from .discovery import port_of_sensor  # discovery takes SensorInfo from here
                port = port_of_sensor(serial, baud)
            if port is None:
                self._simulator = Simulator(quiet=True)
                port = self._simulator.start()
            self.port = port
            self._serial = open_port(port, baud)
            self._link = DeviceLink(self._serial, self._lib, port)
            device = self._lib.kq7_open(self._link.write_fn, self._link.read_fn, None)
            if not device:
                raise MemoryError("kq7_open found no memory for a device")
            self._device = self._link.device = device
            self._lib.kq7_set_log(device, self._link.log_fn, None)
            self._identify(_deadline(timeout))
        except BaseException:
            self.close()
            raise

    @property
    def closed(self) -> bool:
        return self._device is None

    def _call(self, action: str, function, *arguments, deadline: Optional[float], allowed=()):
        """Runs one library call; returns its result when not negative or in
        `allowed`, else raises what ended it."""
        with self._call_lock:
            if self._device is None:
                raise SensorError(f"{action}: the spectrometer is closed")
            # The library bounds the call; the link's own watch stays off.
            self._link.begin_call(None)
            self._lib.kq7_set_timeout(self._device, _milliseconds_left(deadline))
            result = function(self._device, *arguments)
            failure, self._link.failure = self._link.failure, None
        if failure is not None:
            if isinstance(failure, Exception):
                raise PortError(f"{action}: the port failed: {failure}", result) from failure
            raise failure  # KeyboardInterrupt and its kin, as they came
        if result >= 0 or result in allowed:
            return result
        if result == _library.ERR_TIMEOUT:
            raise SensorTimeout(f"{action}: the time limit passed", result)
        raise _results.error_for(self._lib, result, action)

    def _identify(self, deadline: Optional[float]) -> None:
        # A failed identification leaves the device refusing captures
        # (not identified), so `info` can never size a wrong buffer.
        self._call("identification", self._lib.kq7_identify, deadline=deadline)
        record = _library.SensorInfoC()
        self._call("identification", self._lib.kq7_get_info, ctypes.byref(record), deadline=deadline)
        self._info = SensorInfo(
            model=_text(record.identField1),
            serial=_text(record.identField2),
            band_count=record.bandnumber,
            full_scale=record.maxValue,
            coefficients=tuple(float(a) for a in record.coeff),
        )
        self._wavelengths = _wavelengths(self._lib, record)
        self._wavelengths.flags.writeable = False

    def identify(self, *, timeout: Optional[float] = None) -> SensorInfo:
        """Identifies the sensor again, as on opening, and returns `info`.
        After a failed identification the sensor refuses every other call
        until one succeeds."""
        self._identify(_deadline(timeout))
        return self._info

    @property
    def info(self) -> SensorInfo:
        return self._info

    @property
    def wavelengths(self) -> np.ndarray:
        """Wavelength of each band (read-only), by the library's
        kq7_wavelengths: the cubic in the band number, counted from 1, with a0
        the cubic term."""
        return self._wavelengths

    def _capture_into(self, spectrum: np.ndarray, shutter: int, deadline: Optional[float]) -> None:
        samples = spectrum.ctypes.data_as(ctypes.POINTER(ctypes.c_uint16))
        self._call(f"capture at shutter {shutter}", self._lib.kq7_capture, shutter, samples, spectrum.size,
                   deadline=deadline)

    def _mean(self, shutter: int, average: int, deadline: Optional[float]) -> np.ndarray:
        spectrum = np.zeros(self._info.band_count, dtype=np.uint16)
        total = np.zeros(self._info.band_count, dtype=np.float64)
        for _ in range(average):
            self._capture_into(spectrum, shutter, deadline)
            total += spectrum
        return total / average

    def capture(self, shutter: int, average: int = 1, dark: Optional[np.ndarray] = None, *,
                timeout: Optional[float] = None, reference=None, mode: Optional[str] = None) -> np.ndarray:
        """One spectrum at `shutter`, one value per band.

        Alone: the sensor's uint16 counts. With `average` above 1 the mean of
        that many captures, and with `dark` (from dark()) minus it, band by
        band and signed: float64 then. With `reference` (a
        measurements.Reference or the path of a reference file) and `mode`
        ("transmittance", "absorbance", "reflectance"): that quantity, a dark
        taken first, NaN where a band is invalid (measurements.measure).
        """
        if reference is not None or mode is not None:
            from . import measurements
            return measurements.measure_with(self, shutter, average, reference, mode)
        shutter = _checked_int("shutter", shutter, 0, _INT32_MAX)
        average = _checked_int("average", average, 1, _AVERAGE_MAX)
        if dark is not None and np.shape(dark) != (self._info.band_count,):
            raise ValueError(f"dark must hold {self._info.band_count} values, not {np.shape(dark)}")
        deadline = _deadline(timeout)
        if average == 1 and dark is None:
            spectrum = np.zeros(self._info.band_count, dtype=np.uint16)
            self._capture_into(spectrum, shutter, deadline)
            return spectrum
        mean = self._mean(shutter, average, deadline)
        return mean if dark is None else mean - np.asarray(dark, dtype=np.float64)

    def dark(self, shutter: int, average: int = 1, *, timeout: Optional[float] = None) -> np.ndarray:
        """A spectrum with the shutter closed (float64; the mean of `average`
        captures), for capture(..., dark=). The shutter is open afterwards."""
        shutter = _checked_int("shutter", shutter, 0, _INT32_MAX)
        average = _checked_int("average", average, 1, _AVERAGE_MAX)
        deadline = _deadline(timeout)
        self._set_shutter(False, deadline)
        try:
            spectrum = self._mean(shutter, average, deadline)
        except BaseException:
            # A shutter left closed would make every later capture dark.
            try:
                self._set_shutter(True, _deadline(_RESTORE_TIMEOUT_S))
            except SensorError:
                pass  # the failure of the dark capture is the one to report
            raise
        self._set_shutter(True, deadline)
        return spectrum

    def auto_exposure(self, percent: int = 90, *, timeout: Optional[float] = None) -> int:
        """Searches the shutter value at which the largest sample lies between
        95 % and 100 % of `percent` of full scale, and returns it. Raises
        ExposureOutOfRange (with the value it ended on) when the search stops
        at a bound of the library's search (KQ7_SHUTTER_SEARCH_MIN or _MAX) or
        at its probe limit outside that window."""
        percent = _checked_int("percent", percent, 1, 100)
        shutter = ctypes.c_int32()
        action = f"automatic exposure to {percent} %"
        result = self._call(action, self._lib.kq7_auto_exposure, percent, ctypes.byref(shutter),
                            deadline=_deadline(timeout), allowed=(_library.ERR_OUT_OF_RANGE,))
        if result == _library.ERR_OUT_OF_RANGE:
            raise ExposureOutOfRange(
                f"{action}: {_results.text(self._lib, result)} (ended at shutter {shutter.value})",
                result, shutter.value)
        return shutter.value

    def _set_shutter(self, open: bool, deadline: Optional[float]) -> None:
        self._call("opening the shutter" if open else "closing the shutter", self._lib.kq7_set_shutter_open,
                   1 if open else 0, deadline=deadline)

    def shutter(self, open: bool, *, timeout: Optional[float] = None) -> None:
        """Opens or closes the shutter; returns once the sensor acknowledged."""
        self._set_shutter(open, _deadline(timeout))

    def write_coefficients(self, a0: float, a1: float, a2: float, a3: float, *,
                           timeout: Optional[float] = None) -> None:
        """Stores a new wavelength calibration in the sensor, then identifies it
        again so that `info` and `wavelengths` show what the sensor now holds."""
        deadline = _deadline(timeout)
        coefficients = (ctypes.c_double * 4)(a0, a1, a2, a3)
        self._call("writing the wavelength coefficients", self._lib.kq7_write_coefficients, coefficients,
                   len(coefficients), deadline=deadline)
        self._identify(deadline)

    def save_csv(self, path, spectrum: np.ndarray, shutter: int, *, average: int = 1,
                 dark_subtracted: bool = False, metadata: bool = True) -> None:
        """Writes `spectrum` with this sensor's wavelengths as `kq7 capture -o`
        does. shutter, average and dark_subtracted say how it was taken, for
        the metadata lines and the column's name; metadata=False leaves the
        `# key: value` lines out, for readers that cannot skip comments."""
        if np.shape(spectrum) != self._wavelengths.shape:
            raise ValueError(f"spectrum must hold {self._wavelengths.size} values, not {np.shape(spectrum)}")
        fields = _csv.metadata(self._info, self.port, self._simulator is not None, shutter, average,
                               dark_subtracted, self._lib.kq7_version().decode()) if metadata else []
        text = _csv.spectrum_csv(self._wavelengths, spectrum, _csv.counts_column(average, dark_subtracted), fields)
        with open(path, "w", encoding="utf-8", newline="\n") as file:
            file.write(text)

    def cancel(self) -> None:
        """Ends the call running on this sensor (raising Cancelled from it);
        no effect when none runs. Safe from any thread."""
        with self._handle_lock:
            if self._device is not None:
                self._lib.kq7_cancel(self._device)

    def close(self) -> None:
        """Ends a running call, releases the device, closes the port, stops a
        simulator."""
        try:
            if self._device is not None:
                self.cancel()
                with self._call_lock, self._handle_lock:
                    self._lib.kq7_close(self._device)
                    self._device = None
            if self._serial is not None:
                self._serial.close()
                self._serial = None
        finally:
            if self._simulator is not None:
                self._simulator.stop()
                self._simulator = None

    def __enter__(self) -> "Spectrometer":
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def __del__(self):
        if getattr(self, "_device", None) is not None or getattr(self, "_simulator", None) is not None:
            self.close()


def _checked_int(name: str, value, lowest: int, highest: int) -> int:
    value = operator.index(value)
    if not lowest <= value <= highest:
        raise ValueError(f"{name} must lie in {lowest}..{highest}, not {value}")
    return value
