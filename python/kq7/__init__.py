# SPDX-License-Identifier: MIT
"""KQ7 spectral sensors from Python.

    with kq7.Spectrometer("/dev/ttyUSB0") as sensor:
        spectrum = sensor.capture(sensor.auto_exposure(90))

    for found in kq7.list_sensors():  # the attached sensors
        print(found.port, found.state, found.info)

The package drives the shared library nerb_kq7lib through ctypes; each
Spectrometer opens a device of its own on its port. The library is taken from
the checkout's build folders or from where it is installed; NERB_KQ7LIB names
another file. The library's log lines go to the logger "kq7" at DEBUG.
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
from .discovery import FoundPort, list_sensors
from .simulator import Simulator
from .spectrometer import SensorInfo, Spectrometer

__all__ = [
    "Cancelled",
    "ExposureOutOfRange",
    "FoundPort",
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
    "list_sensors",
]
__version__ = VERSION
