# SPDX-License-Identifier: MIT
"""The exceptions of the kq7 package: SensorError and the subclasses that say
what happened. A failure that came from the library carries its result code
and the library's text for it; one that came from elsewhere (the serial port,
the loader) has the original exception as its __cause__."""
from typing import Optional


class SensorError(Exception):
    """The sensor did not identify, capture, search or store as asked.

    code: the library's result code (negative), or None when the failure
    happened outside the library.
    """

    def __init__(self, message: str, code: Optional[int] = None):
        super().__init__(message)
        self.code = code


class LibraryNotFound(SensorError):
    """The shared library nerb_kq7lib could not be loaded."""


class SimulatorNotFound(SensorError):
    """The virtual sensor kq7sim could not be found or did not start."""


class PortError(SensorError):
    """The serial port could not be opened, or failed while in use (an
    unplugged adapter)."""


class NotASerialPort(PortError):
    """The path names something that is not a serial port."""


class NoReply(SensorError):
    """The sensor stayed silent until the library's time limit."""


class RejectedReply(SensorError):
    """A reply came, but with a wrong header, command, length or CRC, or with
    contents the library cannot use (band count, short spectrum)."""


class SensorBusy(SensorError):
    """The sensor answered that it is busy."""


class Cancelled(SensorError):
    """The call was ended by Spectrometer.cancel() or by closing it."""


class SensorTimeout(Cancelled):
    """The call was ended because its `timeout` passed."""


class ExposureOutOfRange(SensorError):
    """The exposure search stopped at a bound (KQ7_SHUTTER_SEARCH_MIN or _MAX
    of the library's header) or at its probe limit without the peak reaching
    the window: the scene is too dark or too bright. `shutter` holds the value
    the search ended on."""

    def __init__(self, message: str, code: int, shutter: int):
        super().__init__(message, code)
        self.shutter = shutter
