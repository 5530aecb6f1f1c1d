# SPDX-License-Identifier: MIT
"""Identification, wavelengths and capture against one kq7sim."""
import numpy as np
import pytest

SIMULATED_BANDS = 512
FULL_SCALE = 65535


def test_identification(sensor):
    info = sensor.info
    assert info.model and info.serial
    assert "-" not in info.model + info.serial
    assert info.band_count == SIMULATED_BANDS
    assert info.full_scale == FULL_SCALE
    assert len(info.coefficients) == 4


def test_wavelengths_follow_the_cubic_and_increase(sensor):
    wavelengths = sensor.wavelengths
    assert wavelengths.dtype == np.float64
    assert wavelengths.shape == (sensor.info.band_count,)
    a0, a1, a2, a3 = sensor.info.coefficients
    assert wavelengths[0] == pytest.approx(a0 + a1 + a2 + a3)
    n = sensor.info.band_count
    assert wavelengths[-1] == pytest.approx(a0 * n**3 + a1 * n**2 + a2 * n + a3)
    assert np.all(np.diff(wavelengths) > 0)


def test_capture_returns_a_fresh_uint16_spectrum(sensor):
    first = sensor.capture(100)
    second = sensor.capture(100)
    assert first.dtype == np.uint16
    assert first.shape == (sensor.info.band_count,)
    assert first.max() > 0
    assert not np.shares_memory(first, second)


def test_longer_shutter_collects_more_light(sensor):
    assert sensor.capture(200).max() > sensor.capture(50).max()


@pytest.mark.parametrize("call", [
    lambda s: s.capture(-1),
    lambda s: s.capture(2**31),
    lambda s: s.auto_exposure(0),
    lambda s: s.auto_exposure(101),
])
def test_out_of_range_arguments_are_refused_before_the_sensor_is_asked(sensor, call):
    with pytest.raises(ValueError):
        call(sensor)


def test_closed_shutter_gives_a_dark_spectrum(sensor):
    sensor.shutter(False)
    dark = sensor.capture(500)
    sensor.shutter(True)
    lit = sensor.capture(500)
    assert dark.max() < lit.max() / 4
