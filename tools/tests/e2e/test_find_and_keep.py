# SPDX-License-Identifier: MIT
"""kq7 list, --sensor, and long runs that ride out an unplugged sensor
(kq7sim stopped and started again behind the same --link)."""
import fcntl
import json
import os
import queue
import signal
import subprocess
import threading
import time

from conftest import KQ7, Simulator, kq7, split_csv

REPLUGS = 20
WAIT_S = 10


def test_list_and_sensor_tell_every_port_apart(tmp_path):
    not_a_terminal = tmp_path / "file"
    not_a_terminal.write_text("")
    with Simulator(quiet=True, seed=1) as one, Simulator(quiet=True, seed=2) as two, \
            Simulator(quiet=True, seed=2) as twin, Simulator(quiet=True, fault="silent") as silent, \
            Simulator(quiet=True, seed=3) as held:
        with open(held.port) as holder:
            fcntl.flock(holder, fcntl.LOCK_EX)
            ports = [one.port, two.port, silent.port, held.port, str(not_a_terminal)]
            started = time.monotonic()
            listed = json.loads(kq7("list", "--json", *ports).stdout)
            assert time.monotonic() - started < 3  # all at once: about one probe limit
            assert [(p["port"], p["state"], p.get("serial")) for p in listed] == [
                (one.port, "sensor", "SIM00001"), (two.port, "sensor", "SIM00002"), (silent.port, "no answer", None),
                (held.port, "in use", None),
                (str(not_a_terminal), "not a serial port", None)]
            assert "SIM00001" in kq7("list", *ports).stdout

            environment = {**os.environ, "KQ7_PORTS": ":".join(ports)}
            found = kq7("--sensor", "SIM00002", "info", env=environment)
            assert found.returncode == 0 and "SIM00002" in found.stdout, found.stderr
            for serial, message in [("SIM00099", "no port holds sensor SIM00099"), ("SIM00002", "2 ports hold")]:
                ports_with_twin = {**environment, "KQ7_PORTS": environment["KQ7_PORTS"] + ":" + twin.port}
                refused = kq7("--sensor", serial, "info", env=ports_with_twin if serial == "SIM00002" else environment)
                assert refused.returncode == 2 and message in refused.stderr and silent.port in refused.stderr


def lines_of(stream):
    """A queue that receives the lines of `stream` as they come."""
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(line) for line in stream], daemon=True).start()
    return lines


def wait_for(lines, text):
    deadline = time.monotonic() + WAIT_S
    while time.monotonic() < deadline:
        try:
            if text in lines.get(timeout=deadline - time.monotonic()):
                return
        except queue.Empty:
            break
    raise AssertionError(f"no line with {text!r} within {WAIT_S} s")


def replug(link, lines, gone, back, cycle):
    """Stops the sensor behind `link`, waits for `gone`, plugs another sensor in
    once, then the same one, and waits for `back`; returns the sensor running."""
    lines["sensor"].stop()
    wait_for(lines["output"], gone)
    if cycle == REPLUGS // 2:
        with Simulator(quiet=True, seed=7, link=link):
            wait_for(lines["output"], "refused sensor SIM00007")
    lines["sensor"] = Simulator(quiet=True, seed=42, link=link)
    lines["sensor"].start()
    wait_for(lines["output"], back)


def test_stream_keeps_its_file_across_unplugging(tmp_path):
    link, csv = tmp_path / "sensor", tmp_path / "series.csv"
    sensor = Simulator(quiet=True, seed=42, link=link)
    sensor.start()
    stream = subprocess.Popen([KQ7, "--port", str(link), "stream", "--shutter", "5", "--count", "1000000",
                               "--interval", "0.05", "-o", str(csv)], stderr=subprocess.PIPE, text=True)
    watched = {"sensor": sensor, "output": lines_of(stream.stderr)}
    try:
        deadline = time.monotonic() + WAIT_S
        while not (csv.exists() and "\n20" in csv.read_text()) and time.monotonic() < deadline:
            time.sleep(0.05)
        for cycle in range(REPLUGS):
            replug(link, watched, "disconnected: waiting for SIM00042", "capturing again", cycle)
        time.sleep(0.2)
    finally:
        stream.send_signal(signal.SIGINT)
        stream.wait(timeout=WAIT_S)
        watched["sensor"].stop()
    rest = []
    while not watched["output"].empty():
        rest.append(watched["output"].get())
    assert any(f"{REPLUGS} disconnections" in line for line in rest), rest
    metadata, header, rows = split_csv(csv.read_text())
    assert metadata["serial"] == "SIM00042"
    assert len(rows) > REPLUGS and {len(row.split(",")) for row in rows} == {len(header.split(","))}
