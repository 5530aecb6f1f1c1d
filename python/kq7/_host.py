# SPDX-License-Identifier: MIT
"""The two host functions that the library calls to write and read the serial
port. They run inside a library call, so nothing may propagate out of them
into C: an exception is kept and raised once the call has returned."""
import ctypes
import time

from . import _library


class SerialHost:
    """Holds the callbacks (and so keeps them alive) for one open port."""

    def __init__(self, port):
        # A pyserial port opened with a short read timeout.
        self._port = port
        self._error = None
        self.write_fn = _library.SerialWriteFn(self._write)
        self.read_fn = _library.SerialReadFn(self._read)

    def _keep(self, error: BaseException) -> None:
        # The first one tells what went wrong; later ones follow from it.
        if self._error is None:
            self._error = error

    def _write(self, data, length):
        if self._error is not None:
            return 0
        try:
            self._port.write(ctypes.string_at(data, length))
            return length
        except BaseException as error:  # must not reach C
            self._keep(error)
            return 0

    def _read(self, dest, max_length):
        try:
            if self._error is not None:
                # The library keeps polling until its time limit; do not spin.
                # A second Ctrl-C lands here most of the time.
                time.sleep(self._port.timeout)
                return 0
            if max_length <= 0:
                return 0
            # Block at most the port's timeout for the first byte, then take
            # what has already arrived, never more than the library asked for.
            received = self._port.read(1)
            if received and max_length > 1:
                received += self._port.read(min(self._port.in_waiting, max_length - 1))
            ctypes.memmove(dest, received, len(received))
            return len(received)
        except BaseException as error:  # must not reach C
            self._keep(error)
            return 0

    def raise_pending(self):
        """Raises, once, the first exception that a callback caught."""
        error, self._error = self._error, None
        if error is not None:
            raise error
