# SPDX-License-Identifier: MIT
"""Clients that misbehave, and raw requests that http.client would tidy up."""
import socket
import threading

import pytest

from conftest import HTTP_TIMEOUT_S

BYTE_INTERVAL_S = 0.5


def raw_exchange(host_port, request):
    """Sends `request` (bytes) as it is; returns the answer up to the server's close."""
    host, port = host_port.rsplit(":", 1)
    with socket.create_connection((host, int(port)), timeout=HTTP_TIMEOUT_S) as connection:
        connection.sendall(request)
        answer = b""
        while chunk := connection.recv(65536):
            answer += chunk
    return answer


@pytest.fixture
def slow_clients():
    """Opens `count` connections to a server that send a request a byte at a time, as long as the test lasts."""
    sockets = []
    stop = threading.Event()

    def trickle(host_port):
        request = f"GET / HTTP/1.1\r\nHost: {host_port}\r\nX-Padding: {'x' * 100}\r\n\r\n".encode()
        at = 0
        while not stop.wait(BYTE_INTERVAL_S):
            for connection in sockets:
                try:
                    connection.send(request[at:at + 1])
                except OSError:
                    pass  # cut off by the server, as it should
            at = (at + 1) % len(request)

    def open_clients(server, count):
        host, port = server.host_port.rsplit(":", 1)
        sockets.extend(socket.create_connection((host, int(port))) for _ in range(count))
        threading.Thread(target=trickle, args=(server.host_port,), daemon=True).start()

    yield open_clients
    stop.set()
    for connection in sockets:
        connection.close()
