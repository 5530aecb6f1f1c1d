# SPDX-License-Identifier: MIT
"""The README's fleet on one machine, end to end (run by scripts/checks/66-mqtt.sh).

    fleet_check.py BUILD WORK PORT

Three kq7sim --pty, three kq7 publish (two at QoS 1, one at QoS 0, one taking
settings), kq7 record into CSV and into HDF5 (read back with h5py) and kq7
serve --broker against the mosquitto of WORK (scripts/lib/mosquitto.sh) on
loopback PORT, beside an observer of our own (paho, a kept session at QoS 1).
Prints the figures and fails on a fault.
"""
import csv
import datetime
import pathlib
import shutil
import signal
import subprocess
import sys
import time
import urllib.error
import urllib.request

import h5py
import paho.mqtt.client as mqtt
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] / "python"))
from kq7 import mqtt as payloads  # noqa: E402

BUILD, WORK, PORT = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), int(sys.argv[3])
PREFIX, WAIT_S, KEEP_ALIVE_S = "fleet", 15, 5
KQ7 = str(BUILD / "tools/kq7")
BROKER = ["--broker", f"mqtt://127.0.0.1:{PORT}", "--username", "kq7", "--password-file", str(WORK / "password")]
processes = []


def start(*args, **kwargs):
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)
    processes.append(process)
    return process


def wait_for(what, test, timeout=WAIT_S):
    end = time.monotonic() + timeout
    while not test():
        if time.monotonic() > end:
            sys.exit(f"timed out waiting for {what}")
        time.sleep(0.05)
    return time.monotonic()


class Observer:
    """Every spectrum and status under PREFIX, as the broker hands them on."""

    def __init__(self):
        self.spectra, self.states = {}, {}
        self.client = mqtt.Client(client_id="fleet-check-observer", clean_session=False)
        self.client.username_pw_set("kq7", (WORK / "password").read_text().strip())
        self.client.on_connect = lambda c, *_: c.subscribe([(f"{PREFIX}/+/spectrum", 1), (f"{PREFIX}/+/status", 1)])
        self.client.on_message = self.take
        self.client.reconnect_delay_set(1, 2)
        self.client.connect("127.0.0.1", PORT, keepalive=KEEP_ALIVE_S)
        self.client.loop_start()

    def take(self, _client, _userdata, message):
        serial, kind = payloads.topic_parts(PREFIX, message.topic)
        if kind == "spectrum":
            spectrum = payloads.decode_spectrum(message.payload)
            self.spectra.setdefault(serial, {})[spectrum.sequence] = (spectrum.time_ms, spectrum.counts[0])
        else:
            self.states[serial] = payloads.decode_status(message.payload)["state"]


def recorded(serial, suffix="csv"):
    """(time text, first count) of every row the recorder wrote for `serial` in `suffix` files; the shutter values."""
    rows, shutters = [], set()
    for path in sorted(WORK.glob(f"record-{suffix}/{serial}-*.{suffix}")):
        if suffix == "csv":
            lines = [line for line in path.read_text().splitlines() if not line.startswith("#")]
            table = list(csv.reader(lines[1:]))
            rows += [(row[0], float(row[2])) for row in table]
            shutters |= {row[1] for row in table}
            continue
        with h5py.File(path) as nexus:
            data = nexus[f"{nexus.attrs['default']}/{nexus['entry'].attrs['default']}"]
            assert data.attrs["signal"] == "counts" and list(data.attrs["axes"]) == ["time", "wavelength"], path
            counts, times = data["counts"][()], data["time"][()]
            assert counts.shape == (len(times), len(data["wavelength"])) == (len(times), 512), path
            start = datetime.datetime.fromisoformat(data["time"].attrs["start"].replace("Z", "+00:00"))
            start_ms = round(start.timestamp() * 1000)
            rows += [(time_text(start_ms + round(t * 1000)), float(row[0])) for t, row in zip(times, counts)]
            shutters.add(str(nexus["entry/instrument/detector/shutter_value"][()]))
    return rows, shutters


def time_text(ms):
    moment = datetime.datetime.fromtimestamp(ms / 1000, datetime.timezone.utc)
    return moment.strftime("%Y-%m-%dT%H:%M:%S.") + f"{ms % 1000:03d}Z"


def post(url, path, fields):
    token = urllib.request.urlopen(url).read().decode().split('name="kq7-token" content="')[1].split('"')[0]
    request = urllib.request.Request(url + path.lstrip("/"), data=urllib.parse.urlencode(fields).encode(),
                                     headers={"X-KQ7-Token": token})
    try:
        return urllib.request.urlopen(request).status, ""
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode().strip()


def main():
    # Settings over an unauthenticated remote broker: refused before anything starts.
    refused = subprocess.run([KQ7, "--sim", "publish", "--broker", "mqtt://192.0.2.1", "--shutter", "100",
                              "--accept-settings"], capture_output=True, text=True, timeout=WAIT_S)
    assert refused.returncode == 64 and "--accept-settings refused" in refused.stderr, refused.stderr

    (WORK / "record-csv").mkdir()
    (WORK / "record-h5").mkdir()
    observer = Observer()
    ports = [start(str(BUILD / "tools/kq7sim"), "--pty", "--seed", str(seed)) for seed in (1, 2, 3)]
    paths = [sim.stdout.readline().strip() for sim in ports]
    serials = ["SIM00001", "SIM00002", "SIM00003"]
    extra = [["--qos", "1", "--accept-settings"], ["--qos", "1"], ["--qos", "0"]]
    publishers = [start(KQ7, "--port", path, "publish", *BROKER, "--topic", PREFIX, "--shutter", "100",
                        "--interval", "0.2", *more) for path, more in zip(paths, extra)]
    recorders = [start(KQ7, "record", *BROKER, "--topic", PREFIX, "-o", str(WORK / "record-csv")),
                 start(KQ7, "record", *BROKER, "--topic", PREFIX, "-o", str(WORK / "record-h5"), "--format", "h5",
                       "--client-id", "kq7-record-h5")]
    serve = start(KQ7, "serve", *BROKER, "--topic", PREFIX, "--listen", "127.0.0.1:0")
    url = serve.stdout.readline().split()[2]
    wait_for("spectra from the three sensors", lambda: all(len(observer.spectra.get(s, {})) > 5 for s in serials))

    options = webdriver.ChromeOptions()
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--window-size=1400,900",
                 "--user-data-dir=" + str(WORK / "chromium")]:
        options.add_argument(flag)
    browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    try:
        browser.get(url)
        WebDriverWait(browser, WAIT_S).until(
            lambda b: len(b.find_elements(By.CSS_SELECTOR, "#fleet-list tbody tr")) == 3)
        WebDriverWait(browser, WAIT_S).until(lambda b: b.find_element(By.ID, "chart").get_attribute("data-points") == "512")
        shown = browser.find_element(By.ID, "identity").text
        assert "SIM00001" in shown and browser.find_element(By.ID, "take-dark").is_displayed(), shown
        browser.get(url + "?sensor=SIM00002")
        WebDriverWait(browser, WAIT_S).until(lambda b: "SIM00002" in b.find_element(By.ID, "identity").text)
        assert not browser.find_element(By.ID, "take-dark").is_displayed()
        print("fleet page: three sensors listed, SIM00001 and SIM00002 shown live, controls for SIM00001 only")
    finally:
        browser.quit()

    # Settings: taken by the publisher with --accept-settings, refused by the others.
    assert post(url, "/settings", {"sensor": "SIM00001", "shutter": "150"}) == (204, "")
    status, reason = post(url, "/settings", {"sensor": "SIM00002", "shutter": "150"})
    assert status == 400 and "takes no settings" in reason, reason
    wait_for("shutter 150 recorded for SIM00001", lambda: "150" in recorded("SIM00001")[1])

    # The broker restarted mid-run.
    subprocess.run(["bash", "scripts/lib/mosquitto.sh", "restart_mosquitto", str(WORK)], check=True)
    restarted = time.monotonic()
    counts = {s: len(observer.spectra[s]) for s in serials}
    back = wait_for("spectra after the restart", lambda: all(len(observer.spectra[s]) > counts[s] + 3 for s in serials))
    print(f"broker restart: spectra of all three flow again {back - restarted:.1f} s after the broker is back")

    # A publisher killed outright: the broker says offline within the keep-alive.
    publishers[2].send_signal(signal.SIGKILL)
    killed = time.monotonic()
    offline = wait_for("offline after SIGKILL", lambda: observer.states.get("SIM00003") == "offline", 3 * KEEP_ALIVE_S)
    print(f"SIGKILL: SIM00003 offline after {offline - killed:.1f} s (keep-alive {KEEP_ALIVE_S} s)")

    # The publishers first, so that the recorder has everything they sent.
    for process in publishers[:2]:
        process.send_signal(signal.SIGINT)
    published = [process.communicate(timeout=WAIT_S)[1].strip().splitlines()[-1] for process in publishers[:2]]
    time.sleep(1)
    for process in (*recorders, serve):
        process.send_signal(signal.SIGINT)
    summaries = [recorder.communicate(timeout=WAIT_S)[0] for recorder in recorders]
    observer.client.loop_stop()
    print("publishers:", "; ".join(published))
    for summary in summaries:
        print("recorder:", summary.strip().replace("\n", "; "))
    for serial, qos in zip(serials, (1, 1, 0)):
        seen = observer.spectra[serial]
        sequences = sorted(seen)
        gaps = sequences[-1] - sequences[0] + 1 - len(sequences)
        assert qos == 0 or gaps == 0, f"{serial}: {gaps} spectra missing at QoS 1"
        for suffix in ("csv", "h5"):
            rows = recorded(serial, suffix)[0]
            # From the recorder's first row on, which may come after the publisher's first spectrum.
            wanted = sorted((time_text(ms), first) for ms, first in seen.values())
            wanted = [row for row in wanted if rows and row >= min(rows)]
            assert qos == 0 or sorted(rows) == wanted, f"{serial}: the {suffix} rows differ from what was published"
            print(f"{serial} QoS {qos}: {len(sequences)} spectra, sequences {sequences[0]}..{sequences[-1]}, "
                  f"{gaps} missing; the {suffix} recorder wrote {len(rows)}, {len(set(rows) & set(wanted))} matching")
    # The HDF5 file states one shutter value: the settings taken started a new file.
    assert recorded("SIM00001", "h5")[1] == {"100", "150"}
    for process in ports:
        process.terminate()


try:
    main()
finally:
    for leftover in processes:
        if leftover.poll() is None:
            leftover.kill()
