# SPDX-License-Identifier: MIT
"""KQ7 spectral sensors from Python.

    with kq7.Spectrometer("/dev/ttyUSB0") as sensor:
        spectrum = sensor.capture(sensor.auto_exposure(90))

The package drives the shared library nerb_kq7lib through ctypes, one library
device per Spectrometer. It finds the library in this checkout's build tree or
installed; set NERB_KQ7LIB to its path otherwise. The library's log lines go
to the logger "kq7" at DEBUG.
"""
from .errors import (
    Cancelled,
    ExposureOutOfRange,
    LibraryNotFound,
    NoReply,
    NotASerialPort,
    PortError,
    RejectedReply,
    SensorBusy,
    SensorError,
    SensorTimeout,
    SimulatorNotFound,
)
from ._version import VERSION
from .simulator import Simulator
from .spectrometer import SensorInfo, Spectrometer

__all__ = [
    "Cancelled",
    "ExposureOutOfRange",
    "LibraryNotFound",
    "NoReply",
    "NotASerialPort",
    "PortError",
    "RejectedReply",
    "SensorBusy",
    "SensorError",
    "SensorInfo",
    "SensorTimeout",
    "Simulator",
    "SimulatorNotFound",
    "Spectrometer",
]
__version__ = VERSION
