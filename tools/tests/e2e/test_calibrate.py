# SPDX-License-Identifier: MIT
"""kq7 calibrate against kq7sim's mercury-argon lamp, seen through a sensor
whose stored calibration has drifted."""
import math

import pytest

from conftest import read_csv

GREEN_HG_NM = 546.074


def green_line_nm(simulator, tmp_path):
    """Where a fresh capture puts the 546.074 nm line: the vertex of the
    Gaussian through its three top samples, on the reported axis."""
    path = tmp_path / "lamp.csv"
    assert simulator.kq7("capture", "--shutter", "1000", "-o", str(path)).returncode == 0
    _, rows = read_csv(path)
    near = [row for row in rows if abs(row[1] - GREEN_HG_NM) < 8]
    top = max(range(len(near)), key=lambda i: near[i][2])
    left, peak, right = (math.log(near[i][2] - 1000) for i in (top - 1, top, top + 1))
    offset = 0.5 * (left - right) / (left - 2 * peak + right)
    step = near[top + 1][1] - near[top][1]
    return near[top][1] + offset * step


@pytest.mark.parametrize("simulator", [{"source": "hgar", "drift_nm": 3}], indirect=True, ids=["drift3"])
def test_calibrate_brings_the_green_line_home(simulator, tmp_path):
    assert abs(green_line_nm(simulator, tmp_path) - GREEN_HG_NM) > 1

    report = tmp_path / "report.txt"
    result = simulator.kq7("calibrate", "--lamp", "hgar", "--yes", "--report", str(report),
                           "--backup", str(tmp_path / "backup.txt"))
    assert result.returncode == 0, result.stderr
    assert report.read_text() in result.stdout
    rms = float(result.stdout.split("RMS residual: ")[1].split(" nm over ")[0])
    used = int(result.stdout.split(" nm over ")[1].split(" lines")[0])
    assert rms < 0.1 and used >= 12

    assert abs(green_line_nm(simulator, tmp_path) - GREEN_HG_NM) < 0.15


def test_calibrate_refuses_a_lamp_without_its_lines(simulator, tmp_path):
    """The default source is a continuum with only a few lines."""
    result = simulator.kq7("calibrate", "--lamp", "hgar", "--yes", "--backup", str(tmp_path / "backup.txt"))
    assert result.returncode == 1
    assert "calibration not written: only" in result.stderr
    assert not (tmp_path / "backup.txt").exists()
