# SPDX-License-Identifier: MIT
"""Every failure is a SensorError that says what happened, in bounded time."""
import time

import pytest
import serial

import kq7
from kq7 import _library


@pytest.mark.parametrize("fault, error, limit_s", [
    ("bad-crc", kq7.RejectedReply, 2.0),
    ("silent", kq7.NoReply, 8.0),
])
def test_unusable_sensor_fails_identification_in_bounded_time(simulator, fault, error, limit_s):
    port = simulator(fault=fault).port
    start = time.monotonic()
    with pytest.raises(error, match="^identification: ") as raised:
        kq7.Spectrometer(port)
    assert time.monotonic() - start < limit_s
    assert raised.value.code < 0


MISSING = "/nonexistent/kq7-file"


@pytest.mark.parametrize("port, variable, error, named, cause", [
    ("/dev/kq7-no-such-port", None, kq7.PortError, "/dev/kq7-no-such-port", serial.SerialException),
    ("/dev/null", None, kq7.NotASerialPort, "/dev/null", serial.SerialException),
    # A library that cannot load names the paths tried and the variable to set.
    (None, _library.LIBRARY_VARIABLE, kq7.LibraryNotFound, f"(?s){MISSING}.*{_library.LIBRARY_VARIABLE}", OSError),
    (None, "KQ7SIM", kq7.SimulatorNotFound, MISSING, OSError),
])
def test_missing_or_unusable_file_raises_its_error_naming_it(monkeypatch, port, variable, error, named, cause):
    if variable:
        monkeypatch.setenv(variable, MISSING)
        monkeypatch.setattr(_library, "_loaded", None)
    with pytest.raises(error, match=named) as raised:
        kq7.Spectrometer(port)
    assert isinstance(raised.value.__cause__, cause)


class _Failing:
    """The real library, except that a capture or an exposure search ends
    with the given result code (the search storing 10000)."""

    def __init__(self, library, code):
        self._library = library
        self._code = code

    def __getattr__(self, name):
        return getattr(self._library, name)

    def kq7_capture(self, device, shutter, samples, capacity):
        return self._code

    def kq7_auto_exposure(self, device, percent, shutter):
        shutter._obj.value = 10000
        return self._code


@pytest.mark.parametrize("call, code, error, detail", [
    (lambda s: s.capture(100), _library.ERR_BUSY, kq7.SensorBusy, ""),
    (lambda s: s.capture(100, average=3), _library.ERR_SHORT_SPECTRUM, kq7.RejectedReply, ""),
    (lambda s: s.auto_exposure(90), _library.ERR_NO_REPLY, kq7.NoReply, ""),
    # The search's own failure tells where it ended.
    (lambda s: s.auto_exposure(90), _library.ERR_OUT_OF_RANGE, kq7.ExposureOutOfRange, "ended at shutter 10000"),
])
def test_result_code_becomes_its_exception_with_the_library_text(monkeypatch, sensor, call, code, error, detail):
    monkeypatch.setattr(sensor, "_lib", _Failing(sensor._lib, code))
    with pytest.raises(error, match=detail) as raised:
        call(sensor)
    assert raised.value.code == code
    assert sensor._lib.kq7_strerror(code).decode() in str(raised.value)
    if error is kq7.ExposureOutOfRange:
        assert raised.value.shutter == 10000
