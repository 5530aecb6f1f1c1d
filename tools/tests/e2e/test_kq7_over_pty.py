# SPDX-License-Identifier: MIT
"""kq7 against kq7sim over a real pseudo-terminal."""
import time

import pytest

from conftest import Simulator, elapsed, kq7, read_csv, split_csv

BANDS = 512
FULL_SCALE = 65535


def test_info_reports_identity_bands_and_range(simulator):
    result = simulator.kq7("info")
    assert result.returncode == 0, result.stderr
    lines = dict(line.split(": ", 1) for line in result.stdout.splitlines())
    assert lines["identification"] == "KQ7-SIM00042"
    assert lines["bands"] == str(BANDS)
    low, high = (float(x) for x in lines["wavelength range"].replace(" nm", "").split(" to "))
    assert 300 < low < 400 and 900 < high < 1100


def test_auto_exposure_puts_the_peak_into_the_window(simulator, tmp_path):
    csv = tmp_path / "auto.csv"
    result = simulator.kq7("auto", "--percent", "90", "-o", str(csv))
    assert result.returncode == 0, result.stderr
    shutter = int(result.stdout.splitlines()[0].removeprefix("shutter value: "))
    assert 12 < shutter < 10000
    target = FULL_SCALE * 90 // 100
    peak = max(counts for _, _, counts in read_csv(csv)[1])
    assert 0.95 * target <= peak <= target


def test_capture_writes_one_row_per_band_in_wavelength_order(simulator, tmp_path):
    csv = tmp_path / "capture.csv"
    svg = tmp_path / "capture.svg"
    result = simulator.kq7("capture", "--shutter", "300", "-o", str(csv), "--plot", str(svg))
    assert result.returncode == 0, result.stderr
    header, rows = read_csv(csv)
    assert header == "band,wavelength_nm,counts"
    assert [band for band, _, _ in rows] == list(range(1, BANDS + 1))
    wavelengths = [w for _, w, _ in rows]
    assert all(b > a for a, b in zip(wavelengths, wavelengths[1:]))
    assert 300 < wavelengths[0] and wavelengths[-1] < 1100
    assert all(0 <= c <= FULL_SCALE for _, _, c in rows)
    assert svg.read_text().count("<polyline") == 1


@pytest.mark.parametrize("command", [("capture", "--shutter", "100"), ("auto", "--percent", "90", "-o", "-")],
                         ids=["capture", "auto"])
def test_csv_to_standard_output_is_clean(simulator, command):
    result = simulator.kq7(*command)
    assert result.returncode == 0, result.stderr
    metadata, header, rows = split_csv(result.stdout)
    assert metadata["port"] == simulator.port
    assert header == "band,wavelength_nm,counts"
    assert len(rows) == BANDS


@pytest.mark.parametrize("verbose", [(), ("-v",)], ids=["quiet", "verbose"])
def test_library_lines_go_to_standard_error_with_verbose_only(simulator, verbose):
    result = kq7("--port", simulator.port, *verbose, "info")
    assert ("Data from sensor: 55 aa" in result.stderr) == bool(verbose)
    assert "Data from sensor" not in result.stdout


def test_dark_subtraction_removes_the_dark_level(simulator, tmp_path):
    assert simulator.kq7("shutter", "close").returncode == 0
    dark_csv, plain_csv, subtracted_csv = (tmp_path / n for n in ("dark.csv", "plain.csv", "sub.csv"))
    assert simulator.kq7("capture", "--shutter", "200", "-o", str(dark_csv)).returncode == 0
    assert simulator.kq7("shutter", "open").returncode == 0
    assert simulator.kq7("capture", "--shutter", "200", "-o", str(plain_csv)).returncode == 0
    result = simulator.kq7("capture", "--shutter", "200", "--dark", "--average", "2", "-o", str(subtracted_csv))
    assert result.returncode == 0, result.stderr

    dark = [c for _, _, c in read_csv(dark_csv)[1]]
    dark_level = sum(dark) / len(dark)
    assert dark_level > 100, "the sensor has a dark level"
    assert max(dark) - min(dark) < 0.2 * dark_level, "no light while the shutter is closed"
    plain = [c for _, _, c in read_csv(plain_csv)[1]]
    subtracted = [c for _, _, c in read_csv(subtracted_csv)[1]]
    drops = sorted(p - s for p, s in zip(plain, subtracted))
    median_drop = drops[len(drops) // 2]
    assert abs(median_drop - dark_level) < 0.05 * dark_level


def test_written_coefficients_are_reported_at_the_next_info(simulator, tmp_path):
    backup = tmp_path / "old.txt"
    assert simulator.kq7("coeff", "--yes", "--backup", str(backup), "-2e-07", "0", "1.5", "300").returncode == 0
    info = simulator.kq7("info").stdout
    assert "a0=-2e-07 a1=0 a2=1.5 a3=300" in info


def test_port_can_be_opened_again_and_again(simulator):
    for _ in range(3):
        assert simulator.kq7("info").returncode == 0


@pytest.mark.parametrize("simulator", [{"fault": f} for f in ("busy", "stray", "chunked")],
                         indirect=True, ids=["busy", "stray", "chunked"])
def test_faults_that_the_library_rides_out_still_give_a_good_spectrum(simulator, tmp_path):
    csv = tmp_path / "fault.csv"
    result = simulator.kq7("auto", "--percent", "90", "-o", str(csv))
    assert result.returncode == 0, result.stderr
    rows = read_csv(csv)[1]
    assert len(rows) == BANDS
    target = FULL_SCALE * 90 // 100
    assert 0.95 * target <= max(c for _, _, c in rows) <= target


@pytest.mark.parametrize("simulator", [{"fault": "silent"}], indirect=True, ids=["silent"])
def test_silent_sensor_gives_a_failure_in_bounded_time(simulator):
    start = time.monotonic()
    result = simulator.kq7("info")
    assert result.returncode != 0
    assert elapsed(start) < 15
    # Only the failure: no progress line where standard error is no terminal.
    assert result.stderr.startswith(
        f"kq7: identification failed: no reply from the sensor on {simulator.port} at 115200 baud (check the")
    assert len(result.stderr.splitlines()) == 1


@pytest.mark.parametrize("simulator", [{"fault": "bad-crc"}], indirect=True, ids=["bad-crc"])
def test_corrupted_replies_fail_the_identification(simulator):
    result = simulator.kq7("info")
    assert result.returncode != 0
    assert "identification failed" in result.stderr


@pytest.mark.parametrize("args, status, message", [
    ((), 64, "kq7: A subcommand is required"),
    (("capture", "--shutter", "0"), 64, "kq7: --shutter: '0' is out of range: 1 to 1000000"),
    (("--sim", "stream", "--shutter", "5", "--count", "1", "-o", "-", "--interval", "nan"), 64,
     "kq7: --interval: 'nan' is not a finite decimal number"),
    (("--baud", "9600", "info"), 64, "kq7: --baud requires --port"),
    (("--port", "/dev/no-such-port", "--baud", "12345", "info"), 64, "kq7: --baud: 12345 not in {1200,"),
    (("info",), 64, "kq7: no sensor named: give its serial port with --port PATH, or --sim for the built-in virtual"),
    (("--sim", "capture", "--shutter", "5", "-q"), 64,
     "kq7: -q is an option of kq7 itself: give it before the command, as in kq7 -q ... capture ..."),
    (("--sim", "--shutter", "5", "capture"), 64,
     "kq7: --shutter is an option of the command capture: give it after the command"),
    (("--sim", "--port", "/dev/ttyS0", "info"), 64, "kq7: --port excludes --sim"),
    (("--port", "/dev/no-such-port", "info"), 2, "kq7: cannot open port /dev/no-such-port"),
], ids=["no-command", "bad-shutter", "nan-interval", "baud-without-port", "unsupported-baud", "no-sensor", "global-option-after",
        "command-option-before", "sim-and-port", "missing-port"])
def test_wrong_command_lines_give_one_line_and_a_status(args, status, message):
    result = kq7(*args)
    assert result.returncode == status
    assert result.stdout == ""
    assert len(result.stderr.splitlines()) == 1
    assert result.stderr.startswith(message)


def test_simulator_exits_cleanly_on_sigterm():
    sim = Simulator()
    sim.start()
    time.sleep(0.1)
    assert sim.stop() == 0
