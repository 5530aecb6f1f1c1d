# SPDX-License-Identifier: MIT
import pytest

@pytest.mark.parametrize("percent", [50, 90, 100])
def test_auto_exposure_ends_in_its_acceptance_window(open_sensor, percent):
    # A fresh simulator with a fixed seed: its noise, and so the search and
    # the capture after it, are the same on every run.
    sensor = open_sensor(seed=1)
    target = int(sensor.info.full_scale * percent / 100)
    shutter = sensor.auto_exposure(percent)
    assert 12 < shutter < 10000
    peak = int(sensor.capture(shutter).max())
    assert 0.95 * target <= peak <= target
