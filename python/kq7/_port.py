# SPDX-License-Identifier: MIT
"""Opening the serial port, with failures as PortError or NotASerialPort."""
import errno
import os

import serial

from .errors import NotASerialPort, PortError

# Short, so that the library's polling blocks in the read instead of spinning,
# and a Ctrl-C or a time limit is noticed soon.
READ_TIMEOUT_S = 0.02


def _is_other_than_a_terminal(path: str) -> bool:
    """True when `path` opens but is no terminal (a file, /dev/null)."""
    try:
        descriptor = os.open(path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError:
        return False
    try:
        return not os.isatty(descriptor)
    finally:
        os.close(descriptor)


# The usual causes, said next to the system's words for them.
_HINTS = {
    errno.EACCES: " (is the user in the dialout group?)",
    errno.ENOENT: " (wrong path, or the adapter is unplugged?)",
    errno.EBUSY: " (another program has it open?)",
}


def _reason(error: Exception) -> str:
    code = getattr(error, "errno", None)
    if not code:
        return str(error)
    return os.strerror(code) + _HINTS.get(code, "")


def open_port(path: str, baud: int) -> serial.Serial:
    try:
        # exclusive: no second program (kq7, another Spectrometer) talks over this one.
        port = serial.Serial(path, baudrate=baud, timeout=READ_TIMEOUT_S, exclusive=True)
    except (serial.SerialException, OSError) as error:
        if os.name == "posix" and _is_other_than_a_terminal(path):
            raise NotASerialPort(f"{path} is not a serial port") from error
        raise PortError(f"cannot open {path}: {_reason(error)}") from error
    # Bytes a previous program left unread would pass for replies.
    port.reset_input_buffer()
    return port
