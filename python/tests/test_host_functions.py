# SPDX-License-Identifier: MIT
"""The serial callbacks, called through their C function pointers as the
library calls them."""
import ctypes
import sys

import pytest

from kq7 import _host
from kq7._host import SerialHost


class FakePort:
    timeout = 0.001

    def __init__(self, incoming=b"", error=None):
        self.incoming = bytearray(incoming)
        self.written = b""
        self.error = error

    @property
    def in_waiting(self):
        return len(self.incoming)

    def read(self, size):
        if self.error is not None:
            raise self.error
        taken = bytes(self.incoming[:size])
        del self.incoming[:size]
        return taken

    def write(self, data):
        if self.error is not None:
            raise self.error
        self.written += data


def _read(host, size):
    buffer = (ctypes.c_uint8 * size)()
    count = host.read_fn(buffer, size)
    return bytes(buffer[:count])


def test_read_hands_over_at_most_the_requested_bytes():
    port = FakePort(b"\x55\xaa\x50\x00\x02ab")
    host = SerialHost(port)
    assert _read(host, 2) == b"\x55\xaa"
    assert _read(host, 10) == b"\x50\x00\x02ab"
    assert _read(host, 10) == b""


def test_write_sends_exactly_the_given_bytes():
    port = FakePort()
    host = SerialHost(port)
    frame = (ctypes.c_uint8 * 8)(0x55, 0xAA, 0x61, 0x00, 0x01, 0x00, 0x12, 0x34)
    assert host.write_fn(frame, 7) == 7
    assert port.written == bytes(frame)[:7]


@pytest.mark.parametrize("error", [OSError("port gone"), KeyboardInterrupt()])
def test_exception_in_a_callback_is_kept_and_raised_once_afterwards(error):
    port = FakePort(b"\x55\xaa", error=error)
    host = SerialHost(port)
    assert _read(host, 2) == b""
    assert host.write_fn((ctypes.c_uint8 * 1)(0), 1) == 0
    with pytest.raises(type(error)):
        host.raise_pending()
    host.raise_pending()


def test_interrupt_while_waiting_out_an_earlier_error_stays_out_of_c(monkeypatch):
    # ctypes only reports an exception escaping a callback as "ignored".
    escaped = []
    monkeypatch.setattr(sys, "unraisablehook", escaped.append)
    host = SerialHost(FakePort(error=OSError("port gone")))
    assert _read(host, 2) == b""

    def interrupted_sleep(seconds):
        raise KeyboardInterrupt

    monkeypatch.setattr(_host.time, "sleep", interrupted_sleep)
    assert _read(host, 2) == b""
    assert escaped == []
    with pytest.raises(OSError, match="port gone"):
        host.raise_pending()
