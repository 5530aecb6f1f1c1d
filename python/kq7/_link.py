# SPDX-License-Identifier: MIT
"""The functions that the library calls back for one device: write and read
on its serial port, and its log lines.

They run inside a library call, so nothing may unwind out of them into C. An
exception (Ctrl-C's KeyboardInterrupt, a port that failed) is kept, the device
is cancelled so that the call ends at the library's next poll, and the owner
raises the exception once the call has returned.
"""
import ctypes
import logging
import sys
import time
from typing import Optional

from . import _library

logger = logging.getLogger("kq7")


class DeviceLink:
    """Holds the callbacks (and so keeps them alive) for one open port."""

    def __init__(self, port, library, name: str):
        # A pyserial port opened with a short read timeout.
        self._port = port
        self._library = library
        self._name = name
        # Bytes of the last refill not yet handed to the library, from _offset on.
        self._pending = b""
        self._offset = 0
        self._deadline: Optional[float] = None
        self.device = None
        self.failure: Optional[BaseException] = None
        self.timed_out = False
        self.write_fn = _library.WriteFn(self._write)
        self.read_fn = _library.ReadFn(self._read)
        self.log_fn = _library.LogFn(self._log)

    def begin_call(self, deadline: Optional[float]) -> None:
        """Arms the time limit of the next library call: a time.monotonic()
        value, or None for the library's own limits."""
        self._deadline = deadline
        self.failure = None
        self.timed_out = False
        _install_unraisable_hook()

    def _end_call(self, error: Optional[BaseException] = None) -> None:
        # The first exception tells what went wrong; later ones follow from it.
        if error is not None and self.failure is None:
            self.failure = error
        self._library.kq7_cancel(self.device)

    def _write(self, context, data, length):
        try:
            if self.failure is None:
                self._port.write(ctypes.string_at(data, length))
            return length
        except BaseException as error:  # must not reach C
            self._end_call(error)
            return 0

    def _read(self, context, dest, max_length):
        try:
            if self.failure is not None or self.timed_out:
                # Again: a second Ctrl-C may have cut the first cancel short.
                self._end_call()
                return 0
            if self._deadline is not None and time.monotonic() >= self._deadline:
                self.timed_out = True
                self._end_call()
                return 0
            if self._offset >= len(self._pending):
                # The library reads in pieces of 2, 3 and 10 bytes: refill
                # with all that has arrived, or wait (the port's timeout) for
                # one byte, and serve the pieces from here.
                self._pending = self._port.read(self._port.in_waiting or 1)
                self._offset = 0
            count = min(max_length, len(self._pending) - self._offset)
            if count > 0:
                ctypes.memmove(dest, self._pending[self._offset:self._offset + count], count)
                self._offset += count
            return count
        except BaseException as error:  # must not reach C
            self._end_call(error)
            return 0

    def _log(self, context, line):
        try:
            if logger.isEnabledFor(logging.DEBUG):
                logger.debug("%s: %s", self._name, ctypes.string_at(line).decode("ascii", errors="replace"))
        except BaseException as error:  # must not reach C
            self._end_call(error)


# A Ctrl-C whose KeyboardInterrupt is raised as a callback is entered, before
# its try block, is swallowed by ctypes and reported to sys.unraisablehook
# instead: there it is kept and cancels the call like one caught inside the
# callback. Installed at each call, in front of whatever hook is there then
# (a test runner swaps its own in and out).
_next_unraisable_hook = [sys.unraisablehook]


def _keep_callback_exceptions(unraisable) -> None:
    link = getattr(unraisable.object, "__self__", None)
    if isinstance(link, DeviceLink) and unraisable.exc_value is not None:
        link._end_call(unraisable.exc_value)
        return
    _next_unraisable_hook[0](unraisable)


def _install_unraisable_hook() -> None:
    if sys.unraisablehook is not _keep_callback_exceptions:
        _next_unraisable_hook[0] = sys.unraisablehook
        sys.unraisablehook = _keep_callback_exceptions
