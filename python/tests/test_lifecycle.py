# SPDX-License-Identifier: MIT
"""Opening and closing, several sensors, logging, and sensors that answer awkwardly."""
import concurrent.futures
import logging
import os

import numpy as np
import pytest

import kq7


def test_close_stops_the_simulator_and_refuses_further_calls():
    with kq7.Spectrometer() as sensor:
        port = sensor.port
        assert os.path.exists(port)
    assert sensor.closed
    assert not os.path.exists(port)
    with pytest.raises(kq7.SensorError, match="closed"):
        sensor.capture(20)


def test_two_sensors_at_once_each_on_its_own_thread(open_sensor):
    sensors = [open_sensor(seed=1), open_sensor(seed=2)]
    assert sensors[0].info.serial != sensors[1].info.serial
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        spectra = list(pool.map(lambda sensor: sensor.capture(100, average=20), sensors))
    assert [spectrum.shape for spectrum in spectra] == [(512,), (512,)]


def test_library_lines_go_to_the_log_and_nothing_to_standard_output(capfd, caplog, sensor):
    caplog.set_level(logging.DEBUG, logger="kq7")
    print("before")
    sensor.capture(20)
    assert capfd.readouterr().out == "before\n"
    lines = [record.getMessage() for record in caplog.records if record.name == "kq7"]
    assert any(line.startswith(sensor.port + ": Data from sensor: ") for line in lines)


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
