# SPDX-License-Identifier: MIT
"""KQ7 spectral sensors from Python.

    with kq7.Spectrometer("/dev/ttyUSB0") as sensor:
        spectrum = sensor.capture(sensor.auto_exposure(90))

The package drives the shared library nerb_kq7lib through ctypes; set
NERB_KQ7LIB to the library's path when it is neither in this checkout's build
tree nor installed.
"""
from .errors import SensorError
from .simulator import Simulator
from .spectrometer import SensorInfo, Spectrometer

__all__ = ["SensorError", "SensorInfo", "Simulator", "Spectrometer"]
__version__ = "1.0.0"

