# SPDX-License-Identifier: MIT
"""The device's callbacks, called through their C function pointers as the
library calls them."""
import ctypes
import time
import types

import pytest

from kq7._link import DeviceLink

DEVICE = 0x1234


class FakePort:
    """A serial port holding `incoming`; every read or write raises `error` if set."""

    def __init__(self, incoming=b"", error=None):
        self.incoming = bytearray(incoming)
        self.written = b""
        self.error = error
        self.reads = 0

    @property
    def in_waiting(self):
        return len(self.incoming)

    def read(self, size):
        self.reads += 1
        if self.error is not None:
            raise self.error
        taken = bytes(self.incoming[:size])
        del self.incoming[:size]
        return taken

    def write(self, data):
        if self.error is not None:
            raise self.error
        self.written += data


def _link(port):
    """A link on `port` whose library records the devices it cancels."""
    cancelled = []
    link = DeviceLink(port, types.SimpleNamespace(kq7_cancel=cancelled.append), "test")
    link.device = DEVICE
    return link, cancelled


def _read(link, size):
    buffer = (ctypes.c_uint8 * size)()
    count = link.read_fn(None, buffer, size)
    return bytes(buffer[:count])


def test_small_reads_are_served_from_one_refill_and_writes_send_exactly_the_given_bytes():
    frame = bytes(i % 251 for i in range(1035))
    port = FakePort(frame)
    link, _ = _link(port)
    pieces = [_read(link, size) for size in [2, 3] + [10] * 103]
    assert b"".join(pieces) == frame
    assert port.reads == 1
    assert _read(link, 10) == b""
    written = (ctypes.c_uint8 * 8)(0x55, 0xAA, 0x61, 0x00, 0x01, 0x00, 0x12, 0x34)
    assert link.write_fn(None, written, 7) == 7
    assert port.written == bytes(written)[:7]


@pytest.mark.parametrize("callback", [
    lambda link: _read(link, 2),
    lambda link: link.write_fn(None, (ctypes.c_uint8 * 1)(0), 1),
], ids=["read", "write"])
@pytest.mark.parametrize("error", [OSError("port gone"), KeyboardInterrupt()])
def test_exception_in_a_callback_cancels_the_device_and_is_kept(callback, error):
    port = FakePort(b"\x55\xaa", error=error)
    link, cancelled = _link(port)
    assert not callback(link)  # nothing read, nothing written
    assert cancelled == [DEVICE]
    assert link.failure is error
    # Until the call returns, the port is left alone and the cancel repeated.
    reads = port.reads
    assert _read(link, 2) == b""
    assert port.reads == reads
    assert cancelled == [DEVICE, DEVICE]


def test_passed_deadline_cancels_without_reading():
    port = FakePort(b"\x55\xaa")
    link, cancelled = _link(port)
    link.begin_call(time.monotonic() - 1)
    assert _read(link, 2) == b""
    assert link.timed_out and cancelled == [DEVICE]
    assert port.reads == 0
