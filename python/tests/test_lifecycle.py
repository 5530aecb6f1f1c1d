# SPDX-License-Identifier: MIT
"""Opening and closing, console output, and sensors that answer awkwardly."""
import os

import numpy as np
import pytest

import kq7


def test_close_stops_the_simulator_and_refuses_further_calls():
    with kq7.Spectrometer() as sensor:
        port = sensor._serial.port
        assert os.path.exists(port)
    assert sensor.closed
    assert not os.path.exists(port)
    with pytest.raises(kq7.SensorError, match="closed"):
        sensor.capture(20)


def test_only_one_spectrometer_at_a_time():
    with kq7.Spectrometer():
        with pytest.raises(RuntimeError, match="already open"):
            kq7.Spectrometer()
    with kq7.Spectrometer() as again:
        assert again.info.band_count > 0


@pytest.mark.parametrize("quiet", [True, False])
def test_library_console_output_only_when_not_quiet(capfd, quiet):
    with kq7.Spectrometer(quiet=quiet) as sensor:
        print("before")
        sensor.capture(20)
        print("after")
    out = capfd.readouterr().out
    assert ("KQ7SensorInit" in out) == (not quiet)
    assert ("Data from sensor: " in out) == (not quiet)
    # The library's lines come between the Python lines, never after them.
    assert out.index("before") < out.index("after")
    assert out.rstrip().endswith("after")


@pytest.mark.parametrize("bands", [1, 256, 2048])
def test_band_count_of_the_sensor_sizes_everything(open_sensor, bands):
    sensor = open_sensor(bands=bands)
    assert sensor.info.band_count == bands
    assert sensor.wavelengths.shape == (bands,)
    assert sensor.capture(50).shape == (bands,)


@pytest.mark.parametrize("fault", ["busy", "stray", "chunked"])
def test_awkward_but_answering_sensor_still_works(open_sensor, fault):
    sensor = open_sensor(fault=fault)
    assert sensor.info.band_count == 512
    assert sensor.capture(30).shape == (512,)


def test_written_coefficients_are_read_back(open_sensor):
    sensor = open_sensor()
    sensor.write_coefficients(0.0, 0.0, 0.5, 399.9)
    assert sensor.info.coefficients == pytest.approx((0.0, 0.0, 0.5, 399.9))
    assert sensor.wavelengths[:3] == pytest.approx([400.4, 400.9, 401.4])
    assert np.all(np.diff(sensor.wavelengths) > 0)
