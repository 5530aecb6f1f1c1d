# SPDX-License-Identifier: MIT
"""Identification, wavelengths and capture against one kq7sim."""
import subprocess

import numpy as np
import pytest

from kq7 import _locate

SIMULATED_BANDS = 512
FULL_SCALE = 65535
KQ7 = next(path for path in _locate.in_build_trees("tools/kq7") if path.is_file())


def _read_csv(path):
    """({metadata key: value}, rows split at commas, header first)."""
    lines = path.read_text().splitlines()
    fields = dict(line[2:].split(": ", 1) for line in lines if line.startswith("# "))
    return fields, [line.split(",") for line in lines if not line.startswith("#")]


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


def test_dark_is_taken_with_the_shutter_closed_and_subtracts_signed(sensor):
    dark = sensor.dark(500, average=4)
    lit = sensor.capture(500, average=4)
    assert dark.dtype == lit.dtype == np.float64
    assert dark.max() < lit.max() / 4
    corrected = sensor.capture(500, dark=dark)
    assert corrected.dtype == np.float64
    assert corrected.max() == pytest.approx(lit.max() - dark[lit.argmax()], rel=0.05)
    # Noise around a dark band goes below zero instead of wrapping round.
    assert sensor.capture(1, dark=sensor.dark(1)).min() < 0


def test_csv_is_the_one_the_command_line_writes(sensor, simulator, tmp_path):
    spectrum = sensor.capture(100, average=3)
    sensor.save_csv(tmp_path / "python.csv", spectrum, 100, average=3)
    completed = subprocess.run(
        [str(KQ7), "--port", simulator().port, "capture", "--shutter", "100", "--average", "3",
         "-o", str(tmp_path / "kq7.csv")],
        capture_output=True, text=True, timeout=30,
    )
    assert completed.returncode == 0, completed.stderr
    (python_fields, python_rows), (kq7_fields, kq7_rows) = (_read_csv(tmp_path / name)
                                                          for name in ("python.csv", "kq7.csv"))
    # The same keys; the same values but for when, where and which program.
    assert list(python_fields) == list(kq7_fields)
    for key in ("time", "port", "virtual_sensor", "kq7_version"):
        del python_fields[key], kq7_fields[key]
    assert python_fields == kq7_fields
    # The same header, bands and wavelengths, digit for digit.
    assert [row[:2] for row in python_rows] == [row[:2] for row in kq7_rows]
    assert [float(row[2]) for row in python_rows[1:]] == pytest.approx(spectrum.tolist(), rel=1e-5)
