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


@pytest.mark.parametrize("port, error, cause", [
    ("/dev/kq7-no-such-port", kq7.PortError, serial.SerialException),
    ("/dev/null", kq7.NotASerialPort, serial.SerialException),
])
def test_port_that_cannot_serve_raises_a_port_error(port, error, cause):
    with pytest.raises(error, match=port) as raised:
        kq7.Spectrometer(port)
    assert isinstance(raised.value.__cause__, cause)


@pytest.mark.parametrize("variable, error", [
    (_library.LIBRARY_VARIABLE, kq7.LibraryNotFound),
    ("KQ7SIM", kq7.SimulatorNotFound),
])
def test_missing_file_names_the_paths_and_the_variable(monkeypatch, variable, error):
    monkeypatch.setenv(variable, "/nonexistent/kq7-file")
    monkeypatch.setattr(_library, "_loaded", None)
    with pytest.raises(error, match="/nonexistent/kq7-file") as raised:
        kq7.Spectrometer()
    assert isinstance(raised.value.__cause__, OSError)
    if error is kq7.LibraryNotFound:
        assert variable in str(raised.value)


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


@pytest.mark.parametrize("call, code, error", [
    (lambda s: s.capture(100), _library.ERR_BUSY, kq7.SensorBusy),
    (lambda s: s.capture(100, average=3), _library.ERR_SHORT_SPECTRUM, kq7.RejectedReply),
    (lambda s: s.auto_exposure(90), _library.ERR_NO_REPLY, kq7.NoReply),
])
def test_result_code_becomes_its_exception_with_the_library_text(monkeypatch, sensor, call, code, error):
    monkeypatch.setattr(sensor, "_lib", _Failing(sensor._lib, code))
    with pytest.raises(error) as raised:
        call(sensor)
    assert raised.value.code == code
    assert sensor._lib.kq7_strerror(code).decode() in str(raised.value)


def test_exposure_out_of_range_tells_where_the_search_ended(monkeypatch, sensor):
    monkeypatch.setattr(sensor, "_lib", _Failing(sensor._lib, _library.ERR_OUT_OF_RANGE))
    with pytest.raises(kq7.ExposureOutOfRange, match="ended at shutter 10000") as raised:
        sensor.auto_exposure(90)
    assert raised.value.shutter == 10000
