# SPDX-License-Identifier: MIT
"""kq7 serve at the HTTP level: what it refuses, and its event stream."""
import subprocess

import pytest

from conftest import KQ7, STOP_TIMEOUT_S

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
    ("POST", "/exposure", {"percent": "101"}, {}, 400, "percent must be a whole number from 1 to 100"),
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
def test_a_silent_sensor_shows_as_a_status_and_ctrl_c_still_stops(silent_sensor, own_server, events):
    stream = events(own_server("--port", silent_sensor))
    while (status := stream.next_event("status", timeout_s=15))["state"] != "no-answer":
        pass
    assert "identification" in status["lastError"]


def test_a_listen_address_without_a_port_is_a_usage_error():
    result = subprocess.run(
        [KQ7, "--sim", "serve", "--listen", "localhost"], capture_output=True, text=True, timeout=STOP_TIMEOUT_S
    )
    assert result.returncode == 64 and "--listen takes HOST:PORT" in result.stderr
