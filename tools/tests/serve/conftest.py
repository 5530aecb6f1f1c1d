# SPDX-License-Identifier: MIT
"""Runs kq7 serve on a port of the system's choosing and talks to it.

The package kq7 finds the binaries: $KQ7 and $KQ7SIM, or the build trees.
"""
import http.client
import json
import re
import select
import signal
import subprocess
import time
import urllib.parse

import pytest

import kq7
from kq7 import _locate

KQ7 = _locate.program("kq7", "KQ7")

START_TIMEOUT_S = 10
# Ctrl-C cancels the call that runs, so the server ends well within this.
STOP_TIMEOUT_S = 5
HTTP_TIMEOUT_S = 10


def first_line(process, what):
    """The first line that `process` prints, or RuntimeError after START_TIMEOUT_S."""
    ready, _, _ = select.select([process.stdout], [], [], START_TIMEOUT_S)
    line = process.stdout.readline().strip() if ready else ""
    if not line:
        process.kill()
        raise RuntimeError(f"{what} printed nothing: {process.communicate(timeout=STOP_TIMEOUT_S)[1]}")
    return line


class Server:
    """One kq7 serve process on 127.0.0.1; stop() ends it with Ctrl-C."""

    def __init__(self, *kq7_args):
        self.process = subprocess.Popen(
            [KQ7, *kq7_args, "serve", "--listen", "127.0.0.1:0"],
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
        )
        # "kq7 serve: http://127.0.0.1:PORT/ (Ctrl-C stops)"
        self.url = re.search(r"http://\S+/", first_line(self.process, "kq7 serve")).group(0)
        self.host_port = urllib.parse.urlsplit(self.url).netloc
        self.token = re.search(r'name="kq7-token" content="(\w+)"', self.request("GET", "/")[1]).group(1)

    def connection(self):
        host, port = self.host_port.rsplit(":", 1)
        return http.client.HTTPConnection(host, int(port), timeout=HTTP_TIMEOUT_S)

    def request(self, method, path, fields=None, headers=None):
        """(status, body) of one request; `fields` go form-encoded."""
        connection = self.connection()
        body = urllib.parse.urlencode(fields) if fields is not None else None
        all_headers = {"Content-Type": "application/x-www-form-urlencoded", **(headers or {})}
        connection.request(method, path, body=body, headers=all_headers)
        response = connection.getresponse()
        result = response.status, response.read().decode()
        connection.close()
        return result

    def post(self, path, fields, **headers):
        """A POST as the page sends it: with the token and the server's origin."""
        headers = {"X-KQ7-Token": self.token, "Origin": "http://" + self.host_port, **headers}
        return self.request("POST", path, fields, headers)

    def stop(self):
        """Ctrl-C; returns (exit status, standard error)."""
        self.process.send_signal(signal.SIGINT)
        try:
            _, stderr = self.process.communicate(timeout=STOP_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            _, stderr = self.process.communicate()
            return None, stderr
        return self.process.returncode, stderr


class EventStream:
    """An open /events stream of `server`, read event by event."""

    def __init__(self, server):
        self.connection = server.connection()
        self.connection.request("GET", "/events")
        self.response = self.connection.getresponse()

    def next_event(self, name, timeout_s=HTTP_TIMEOUT_S):
        """The data (parsed) of the next event called `name`."""
        deadline = time.monotonic() + timeout_s
        event = None
        while time.monotonic() < deadline:
            line = self.response.readline().decode().rstrip("\n")
            if line.startswith("event: "):
                event = line[len("event: "):]
            elif line.startswith("data: ") and event == name:
                return json.loads(line[len("data: "):])
        raise TimeoutError(f"no {name} event within {timeout_s} s")

    def close(self):
        self.connection.close()


def stop_cleanly(running):
    status, stderr = running.stop()
    assert status == 0 and "kq7 serve: stopped" in stderr, stderr


@pytest.fixture(scope="module")
def server():
    """kq7 --sim serve, stopped with Ctrl-C after the module; it must end cleanly."""
    running = Server("--sim")
    yield running
    stop_cleanly(running)


@pytest.fixture
def own_server():
    """Starts kq7 serve with the given options for one test; each must end cleanly on Ctrl-C."""
    started = []
    yield lambda *kq7_args: started.append(Server(*kq7_args)) or started[-1]
    for running in started:
        stop_cleanly(running)


@pytest.fixture
def events(server):
    """Opens event streams on the module's server or the one given; closed after the test."""
    streams = []
    yield lambda on=server: streams.append(EventStream(on)) or streams[-1]
    for stream in streams:
        stream.close()


@pytest.fixture
def silent_sensor():
    """The device path of a kq7sim that never answers."""
    with kq7.Simulator(quiet=True, fault="silent") as sensor:
        yield sensor.port
