# SPDX-License-Identifier: MIT
"""What a person at the bench meets: the sensor named or refused, warnings, metadata, stream, coeff, a busy port."""
import fcntl
import os
import select
import signal
import subprocess
import time

import pytest

from conftest import KQ7, RUN_TIMEOUT_S, kq7, read_csv, split_csv

SATURATION = "kq7: warning: 512 of 512 bands saturated (at full scale, 65535): use a shorter shutter value"


def test_version():
    result = kq7("--version")
    assert result.returncode == 0
    assert result.stdout.startswith("kq7 1.")


@pytest.mark.parametrize("sensor", [("--sim",), ("--port", "sim")], ids=["--sim", "--port-sim"])
def test_virtual_sensor_says_so(sensor, tmp_path):
    result = kq7(*sensor, "capture", "--shutter", "100", "-o", str(tmp_path / "x.csv"))
    assert result.returncode == 0, result.stderr
    assert result.stderr == "kq7: using the built-in virtual sensor: the spectra are made up\n"
    metadata = split_csv((tmp_path / "x.csv").read_text())[0]
    assert (metadata["port"], metadata["virtual_sensor"]) == ("sim", "yes")


OUT_OF_RANGE = ("kq7: warning: the exposure search ran out of range: it ended at shutter value 12 without a peak at "
                "1 % of full scale (too bright even at the shortest shutter value)")


@pytest.mark.parametrize("command, status, warning", [
    (("capture", "--shutter", "100000"), 7, SATURATION),
    (("auto", "--percent", "1"), 8, OUT_OF_RANGE),
], ids=["saturated", "out-of-range"])
@pytest.mark.parametrize("strict", [False, True], ids=["warning", "strict"])
def test_doubtful_results_warn_or_with_strict_fail(simulator, tmp_path, command, status, warning, strict):
    result = simulator.kq7(*command, *(["--strict"] if strict else []), "-o", str(tmp_path / "x.csv"))
    assert result.returncode == (status if strict else 0)
    assert result.stderr == (warning.replace("warning: ", "") if strict else warning) + "\n"


def test_dark_subtracted_mean_keeps_negative_values_and_says_what_it_is(simulator, tmp_path):
    csv = tmp_path / "dark.csv"
    result = simulator.kq7("capture", "--shutter", "1", "--dark", "--average", "2", "-o", str(csv))
    assert result.returncode == 0, result.stderr
    metadata, header, _ = split_csv(csv.read_text())
    assert header == "band,wavelength_nm,dark_subtracted_counts"
    assert {k: metadata[k] for k in ("port", "virtual_sensor", "model", "serial", "shutter_value", "averages",
                                     "dark_subtracted")} == {
        "port": simulator.port, "virtual_sensor": "no", "model": "KQ7", "serial": "SIM00042",
        "shutter_value": "1", "averages": "2", "dark_subtracted": "yes"}
    assert metadata["time"].endswith("Z") and len(metadata["coefficients"].split()) == 4
    assert min(c for _, _, c in read_csv(csv)[1]) < 0


@pytest.mark.parametrize("output", [("-o", "/nonexistent/x.csv"), ("--plot", "/nonexistent/x.svg")], ids=["csv", "plot"])
def test_unwritable_output_fails_before_any_request(pty, output):
    master, slave = pty
    result = kq7("--port", os.ttyname(slave), "capture", "--shutter", "100", *output)
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr == f"kq7: cannot write {output[1]}: No such file or directory\n"
    assert select.select([master], [], [], 0)[0] == [], "nothing sent to the sensor"


def test_stream_writes_a_row_per_spectrum(simulator, tmp_path):
    csv = tmp_path / "stream.csv"
    result = simulator.kq7("stream", "--shutter", "200", "--count", "2", "-o", str(csv))
    assert result.returncode == 0, result.stderr
    metadata, header, rows = split_csv(csv.read_text())
    assert metadata["shutter_value"] == "200"
    assert header.startswith("time,shutter_value,340.") and len(header.split(",")) == 2 + 512
    assert len(rows) == 2 and all(row.split(",")[1] == "200" and len(row.split(",")) == 2 + 512 for row in rows)


def test_ctrl_c_ends_a_stream_with_the_rows_so_far(simulator, tmp_path):
    csv = tmp_path / "stream.csv"
    process = subprocess.Popen([KQ7, "--port", simulator.port, "stream", "--shutter", "200", "--count", "1000",
                                "--interval", "0.2", "-o", str(csv)], stderr=subprocess.PIPE, text=True)
    time.sleep(1)
    process.send_signal(signal.SIGINT)
    _, stderr = process.communicate(timeout=RUN_TIMEOUT_S)
    rows = split_csv(csv.read_text())[2]
    assert process.returncode == 130
    assert stderr == f"kq7: interrupted after {len(rows)} of 1000 spectra; {csv} holds them\n"
    assert len(rows) >= 2 and all(len(row.split(",")) == 2 + 512 for row in rows)


def test_coeff_asks_first_refuses_nonsense_and_keeps_the_old_values(simulator, tmp_path):
    backup = tmp_path / "old.txt"
    new = ("-2e-07", "0", "1.5", "300")
    unconfirmed = simulator.kq7("coeff", "--backup", str(backup), *new, stdin=subprocess.DEVNULL)
    assert unconfirmed.returncode == 64 and "give --yes" in unconfirmed.stderr
    # Each refusal's reason is checked where the coefficients are judged; here
    # only that a value too large for the sensor is refused and nothing written.
    refused = simulator.kq7("coeff", "--yes", "--backup", str(backup), "1e39", "0", "1", "300")
    assert refused.returncode == 64
    assert refused.stderr.startswith("kq7: coefficients refused: a0 is not a finite number")
    assert not backup.exists()
    result = simulator.kq7("coeff", "--yes", "--backup", str(backup), *new)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines()[0] == "current coefficients: a0=-1.5e-07 a1=0.00012 a2=1.32 a3=339.48 " \
                                            "(340.80 nm to 1026.64 nm)"
    assert f"previous coefficients saved in {backup}" in result.stdout
    old = backup.read_text().splitlines()[-1].split()
    restored = simulator.kq7("coeff", "--yes", "--backup", str(tmp_path / "new.txt"), *old)
    assert restored.returncode == 0, restored.stderr
    assert "a0=-1.5e-07 a1=0.00012 a2=1.32 a3=339.48" in simulator.kq7("info").stdout


def test_port_in_use_is_refused(simulator):
    with open(simulator.port, "rb") as holder:
        fcntl.flock(holder, fcntl.LOCK_EX)
        result = simulator.kq7("info")
    assert result.returncode == 2
    assert result.stderr == (f"kq7: port {simulator.port} in use by another program "
                             f"(close it, or find it with: fuser {simulator.port})\n")


@pytest.mark.parametrize("simulator", [{"fault": "delay", "delay_ms": 900}], indirect=True, ids=["slow"])
def test_long_wait_shows_progress_on_a_terminal(simulator, pty, tmp_path):
    master, slave = pty
    result = subprocess.run([KQ7, "--port", simulator.port, "capture", "--shutter", "100", "-o",
                             str(tmp_path / "x.csv")], stderr=slave, timeout=RUN_TIMEOUT_S)
    assert result.returncode == 0
    shown = os.read(master, 4096).decode()
    assert "\r\033[Kkq7: capture at shutter value 100: 1 s (Ctrl-C stops)" in shown
    assert shown.endswith("\r\033[K"), "the line is cleared"


@pytest.mark.parametrize("simulator", [{"fault": "silent"}], indirect=True, ids=["silent"])
def test_unplugged_adapter_ends_the_wait_at_once(simulator):
    process = subprocess.Popen([KQ7, "--port", simulator.port, "info"], stderr=subprocess.PIPE, text=True)
    time.sleep(1)
    simulator.stop()  # the other side of the line goes away, as with an unplugged adapter
    unplugged = time.monotonic()
    _, stderr = process.communicate(timeout=RUN_TIMEOUT_S)
    assert time.monotonic() - unplugged < 0.5
    assert process.returncode == 2
    assert stderr == f"kq7: port {simulator.port} failed: the port hung up (was the adapter unplugged?)\n"
