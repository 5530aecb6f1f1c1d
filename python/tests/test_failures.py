# SPDX-License-Identifier: MIT
"""Failures become SensorError, in bounded time, never a stale spectrum."""
import time

import pytest
import serial

import kq7


@pytest.mark.parametrize("fault, limit_s", [("bad-crc", 2.0), ("silent", 8.0)])
def test_unusable_sensor_fails_identification_in_bounded_time(simulator, fault, limit_s):
    port = simulator(fault=fault).port
    start = time.monotonic()
    with pytest.raises(kq7.SensorError, match="identification failed"):
        kq7.Spectrometer(port)
    assert time.monotonic() - start < limit_s
    # A failed open gives the library back for the next one.
    with kq7.Spectrometer() as sensor:
        assert sensor.info.band_count > 0


def test_missing_port_raises_and_releases_the_library():
    with pytest.raises(serial.SerialException):
        kq7.Spectrometer("/dev/kq7-no-such-port")
    with kq7.Spectrometer() as sensor:
        assert sensor.info.band_count > 0


class _FailingExports:
    """The real library, except that every capture fails as it does when the
    sensor never delivers: result 0, buffer untouched."""

    def __init__(self, library):
        self._library = library

    def __getattr__(self, name):
        return getattr(self._library, name)

    @staticmethod
    def KQ7GetData(buffer, shutter):
        return 0

    @staticmethod
    def KQ7OptSnenser(percent):
        return 0


@pytest.mark.parametrize("call, message", [
    (lambda s: s.capture(100), "capture at shutter 100 failed"),
    (lambda s: s.auto_exposure(90), "automatic exposure to 90 % failed"),
])
def test_failed_capture_raises_instead_of_returning_a_spectrum(monkeypatch, call, message):
    with kq7.Spectrometer() as sensor:
        monkeypatch.setattr(sensor, "_lib", _FailingExports(sensor._lib))
        with pytest.raises(kq7.SensorError, match=message):
            call(sensor)


class _ReidentificationFails(_FailingExports):
    """The coefficients are stored, but the identification after it fails,
    as when the sensor stops answering the coefficient query: the library may
    then hold a band count other than the Spectrometer's."""

    captures = 0

    @staticmethod
    def KQ7SetWeaveLenthCoeff(coeffs, count):
        return 1

    @staticmethod
    def KQ7SensorInit():
        return 0

    def KQ7GetData(self, buffer, shutter):
        self.captures += 1
        return 0


def test_no_capture_into_a_buffer_sized_by_a_failed_identification(monkeypatch):
    with kq7.Spectrometer() as sensor:
        exports = _ReidentificationFails(sensor._lib)
        monkeypatch.setattr(sensor, "_lib", exports)
        with pytest.raises(kq7.SensorError, match="identification failed"):
            sensor.write_coefficients(0.0, 0.0, 0.5, 399.9)
        for call in (lambda: sensor.capture(100), lambda: sensor.auto_exposure(90)):
            with pytest.raises(kq7.SensorError, match="not identified"):
                call()
        assert exports.captures == 0
