# SPDX-License-Identifier: MIT
"""kq7 serve at the HTTP level: what it refuses, and its event stream."""
import re
import signal
import subprocess
import time

import pytest

import kq7

from conftest import KQ7, START_TIMEOUT_S, STOP_TIMEOUT_S, Server, first_line, stop_cleanly
from fixtures_hostile import raw_exchange, slow_clients  # noqa: F401 (a fixture)

WRONG_TOKEN = "0" * 32
MAX_VIEWS = 12

# (method, path, fields, headers beyond the page's own, status, reason)
REFUSED = [
    ("POST", "/settings", {"shutter": "200"}, {"X-KQ7-Token": ""}, 403, "missing or wrong X-KQ7-Token"),
    ("POST", "/settings", {"shutter": "200"}, {"X-KQ7-Token": WRONG_TOKEN}, 403, "missing or wrong X-KQ7-Token"),
    ("POST", "/dark", {}, {"Origin": "http://evil.example"}, 403, "another origin"),
    ("GET", "/", None, {"Host": "evil.example"}, 403, "host name 'evil.example'"),
    ("POST", "/settings", {"shutter": "0"}, {}, 400, "shutter must be a whole number from 1 to 10000"),
    ("POST", "/settings", {"average": "2.5"}, {}, 400, "average must be a whole number from 1 to 100"),
    ("POST", "/settings", {"paused": "yes"}, {}, 400, "paused must be true or false"),
    ("POST", "/settings", {"coefficients": "1 2 3 4"}, {}, 400, "unknown field 'coefficients'"),
    ("POST", "/settings", {"quantity": "%"}, {}, 400, "quantity must be counts, transmittance, absorbance or"),
    ("POST", "/reference", {}, {"X-KQ7-Token": ""}, 403, "missing or wrong X-KQ7-Token"),
    ("POST", "/exposure", {"percent": "101"}, {}, 400, "percent must be a whole number from 1 to 100"),
    ("POST", "/exposure", {"percent": "50", "shutter": "1"}, {}, 400, "percent is the only field"),
    ("POST", "/settings", {"shutter": "1" * 5000}, {}, 413, "request body too large: at most 4096 bytes"),
    ("GET", "/calibration", None, {}, 404, "no such page: GET /calibration"),
    ("POST", "/events", {}, {}, 404, "no such page: POST /events"),
]


@pytest.mark.parametrize("method, path, fields, headers, status, reason", REFUSED)
def test_bad_requests_are_refused_with_a_reason_and_capture_goes_on(
    server, events, method, path, fields, headers, status, reason
):
    stream = events()
    if method == "POST":
        answer = server.post(path, fields, **headers)
    else:
        answer = server.request(method, path, headers=headers)
    assert answer[0] == status and reason in answer[1]
    first = stream.next_event("spectrum")["sequence"]
    assert stream.next_event("spectrum")["sequence"] > first


def test_views_beyond_the_limit_are_refused_and_the_page_still_answers(own_server, events):
    own = own_server("--sim")
    for _ in range(MAX_VIEWS):
        events(own)
    status, reason = own.request("GET", "/events")
    assert status == 503 and "too many open views (12)" in reason
    assert own.post("/settings", {"paused": "false"})[0] == 204


def test_a_change_from_the_page_reaches_every_tab_and_both_go_on_receiving_spectra(server, events):
    tabs = [events(), events()]
    for tab in tabs:
        assert tab.next_event("sensor")["bands"] == 512
    assert server.post("/settings", {"shutter": "321", "average": "2"})[0] == 204
    for tab in tabs:
        while (status := tab.next_event("status"))["settings"]["shutter"] != 321:
            pass
        assert status["settings"]["average"] == 2
        while (spectrum := tab.next_event("spectrum"))["shutter"] != 321:
            pass
        assert spectrum["average"] == 2 and len(spectrum["counts"]) == 512 and spectrum["rate"] > 0
    server.post("/settings", {"average": "1"})


# The sensor is asked for first so that it outlives the server and its stream.
def test_a_reference_taken_from_the_page_turns_the_spectra_into_transmittance(own_server, events):
    own = own_server("--sim")
    tab = events(own)
    assert own.post("/reference", {})[0] == 204
    while "referenceShutter" not in tab.next_event("status"):
        pass
    assert own.post("/settings", {"quantity": "transmittance"})[0] == 204
    while (spectrum := tab.next_event("spectrum"))["quantity"] != "transmittance":
        pass
    # The same light as the reference: about 1 wherever there is light to divide by.
    lit = sorted(value for value in spectrum["values"] if value is not None)
    assert len(lit) == 512 - spectrum["invalidBands"] > 400 and abs(lit[len(lit) // 2] - 1) < 0.05


def test_a_silent_sensor_shows_as_a_status_and_ctrl_c_still_stops(silent_sensor, own_server, events):
    stream = events(own_server("--port", silent_sensor))
    while (status := stream.next_event("status", timeout_s=15))["state"] != "no-answer":
        pass
    assert "identification" in status["lastError"]


def test_an_unplugged_sensor_shows_as_disconnected_and_capture_resumes_once_it_is_back(tmp_path, own_server, events):
    link = tmp_path / "sensor"
    sensor = kq7.Simulator(quiet=True, seed=42, link=link)
    sensor.start()
    stream = events(own_server("--port", str(link)))
    try:
        for _ in range(20):
            stream.next_event("spectrum")
            sensor.stop()
            while (status := stream.next_event("status"))["state"] != "disconnected":
                pass
            assert status["text"] == "disconnected: waiting for SIM00042"
            # A pty that lost its other end reads as a hang-up or as EIO.
            assert "(was the adapter unplugged?)" in status["lastError"]
            sensor.start()
            while stream.next_event("status")["state"] != "capturing":
                pass
    finally:
        sensor.stop()


def test_a_listen_address_without_a_port_is_a_usage_error():
    result = subprocess.run(
        [KQ7, "--sim", "serve", "--listen", "localhost"], capture_output=True, text=True, timeout=STOP_TIMEOUT_S
    )
    assert result.returncode == 64 and "--listen takes HOST:PORT" in result.stderr


# Answers of every kind: the page, a script, a refusal, an unknown page; a
# refusal goes whole, whatever byte range was asked.
@pytest.mark.parametrize("path, host", [("/", None), ("/app.js", None), ("/", "evil.example"), ("/x", None)])
def test_every_answer_forbids_framing_and_sniffing(server, path, host):
    connection = server.connection()
    connection.request("GET", path, headers={"Range": "bytes=0-0", **({"Host": host} if host else {})})
    response = connection.getresponse()
    assert response.status < 400 or (response.getheader("Content-Range") is None and len(response.read()) > 1)
    assert response.getheader("X-Frame-Options") == "DENY"
    assert response.getheader("X-Content-Type-Options") == "nosniff"
    assert "frame-ancestors 'none'" in response.getheader("Content-Security-Policy")
    connection.close()


def test_many_byte_ranges_get_the_file_once(server):
    whole = server.request("GET", "/uPlot.min.js")[1]
    ranges = "bytes=" + ",".join(["0-"] * 1500)
    status, body = server.request("GET", "/uPlot.min.js", headers={"Range": ranges})
    assert status == 200 and body == whole


def test_a_post_without_body_or_length_is_answered_at_once(server):
    started = time.monotonic()
    answer = raw_exchange(
        server.host_port,
        f"POST /dark HTTP/1.1\r\nHost: {server.host_port}\r\nX-KQ7-Token: {server.token}\r\n"
        "Connection: close\r\n\r\n".encode(),
    )
    assert answer.startswith(b"HTTP/1.1 204") and time.monotonic() - started < 1


def test_a_second_server_on_the_same_address_is_refused(own_server):
    taken = own_server("--sim").host_port
    result = subprocess.run(
        [KQ7, "--sim", "serve", "--listen", taken], capture_output=True, text=True, timeout=STOP_TIMEOUT_S
    )
    assert result.returncode == 1 and "address in use" in result.stderr


def test_slow_clients_neither_starve_the_page_nor_delay_ctrl_c(slow_clients):
    running = Server("--sim")
    try:
        slow_clients(running, 40)
        time.sleep(2)
        started = time.monotonic()
        assert running.request("GET", "/")[0] == 200 and time.monotonic() - started < 1
        started = time.monotonic()
        stop_cleanly(running)
        assert time.monotonic() - started < 1.5
    finally:
        running.process.kill()


def test_a_wildcard_address_prints_a_reachable_url_and_keeps_a_host_allow_list():
    process = subprocess.Popen(
        [KQ7, "--sim", "serve", "--listen", "0.0.0.0:0", "--allow-host", "kq7.test"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
    )
    try:
        url_host, port = re.search(r"http://(\S+):(\d+)/", first_line(process, "kq7 serve")).groups()
        assert url_host != "0.0.0.0"
        host_port = f"127.0.0.1:{port}"
        for host, status in [("evil.example", b"403"), (f"kq7.test:{port}", b"200"), (f"{url_host}:{port}", b"200")]:
            answer = raw_exchange(host_port, f"GET / HTTP/1.1\r\nHost: {host}\r\nConnection: close\r\n\r\n".encode())
            assert answer.startswith(b"HTTP/1.1 " + status), host
        process.send_signal(signal.SIGINT)
        assert "is not a loopback address" in process.communicate(timeout=START_TIMEOUT_S)[1]
    finally:
        process.kill()
