# SPDX-License-Identifier: MIT
"""kq7 reference, then capture and stream against it: the virtual sample's
known band, a reference from another sensor, an HDF5 stream killed midway."""
import math
import signal
import subprocess
import time

import pytest

from conftest import KQ7, Simulator, kq7, split_csv

CENTRE_NM, FWHM_NM, DEPTH = 560.0, 40.0, 0.8
SETTINGS = ("--shutter", "200", "--average", "4")


def true_absorbance(nm):
    return DEPTH * math.exp(-4 * math.log(2) * ((nm - CENTRE_NM) / FWHM_NM) ** 2)


@pytest.fixture
def reference(tmp_path):
    """A reference file taken on the blank (kq7sim as it starts)."""
    path = tmp_path / "ref.csv"
    with Simulator(quiet=True) as blank:
        run = blank.kq7("reference", *SETTINGS, "-o", str(path))
    assert run.returncode == 0, run.stderr
    return path


def test_three_commands_measure_the_absorbance_of_the_virtual_sample(tmp_path, reference):
    out = tmp_path / "sample.csv"
    with Simulator(quiet=True, absorber=f"{CENTRE_NM}:{FWHM_NM}:{DEPTH}") as sample:
        run = sample.kq7("capture", *SETTINGS, "--reference", str(reference), "--mode", "absorbance", "-o", str(out))
    assert run.returncode == 0, run.stderr
    metadata, header, lines = split_csv(out.read_text())
    assert header == "band,wavelength_nm,absorbance" and metadata["reference_shutter_value"] == "200"
    measured = [(float(nm), float(value)) for _, nm, value in (line.split(",") for line in lines) if value]
    assert len(measured) > 450
    assert max(abs(value - true_absorbance(nm)) for nm, value in measured) < 0.03


def test_a_reference_from_another_sensor_is_refused_before_anything_is_sent(tmp_path, reference):
    out = tmp_path / "sample.h5"
    with Simulator(quiet=True, seed=7) as other:
        identify = kq7("--port", other.port, "-v", "info")
        run = kq7("--port", other.port, "-v", "capture", *SETTINGS, "--reference", str(reference),
                  "--mode", "transmittance", "-o", str(out))
    assert run.returncode == 1 and "taken with sensor 'SIM00042', not with this one ('SIM00007')" in run.stderr
    # The identification, and nothing after it.
    assert run.stderr.count("Data from sensor") == identify.stderr.count("Data from sensor") > 0
    assert not out.exists() and not list(tmp_path.glob("*.partial"))


def test_an_hdf5_stream_killed_midway_holds_every_row_written(tmp_path):
    out = tmp_path / "stream.h5"
    with Simulator(quiet=True) as sensor:
        stream = subprocess.Popen([KQ7, "--port", sensor.port, "stream", "--shutter", "200", "--count", "100000",
                                   "--interval", "0.05", "-o", str(out)], stderr=subprocess.PIPE, text=True)
        time.sleep(1.5)
        stream.send_signal(signal.SIGKILL)
        stream.wait()
    read = subprocess.run(["/usr/bin/python3", "-c", (
        "import sys, h5py, numpy\n"
        "data = h5py.File(sys.argv[1])['entry/data']\n"
        "counts, times = data['counts'][()], data['time'][()]\n"
        "print(len(counts), len(times), bool(numpy.isfinite(counts).all()), bool((numpy.diff(times) > 0).all()))"),
        str(out)], capture_output=True, text=True, timeout=30)
    rows, times, finite, increasing = read.stdout.split()
    assert int(rows) >= 5 and rows == times and finite == increasing == "True", read.stderr
