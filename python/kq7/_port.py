# SPDX-License-Identifier: MIT
"""Opening the serial port, with failures as PortError or NotASerialPort."""
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


def open_port(path: str, baud: int) -> serial.Serial:
    try:
        port = serial.Serial(path, baudrate=baud, timeout=READ_TIMEOUT_S)
    except (serial.SerialException, OSError) as error:
        if os.name == "posix" and _is_other_than_a_terminal(path):
            raise NotASerialPort(f"{path} is not a serial port") from error
        raise PortError(f"cannot open {path}: {error}") from error
    # Bytes a previous program left unread would pass for replies.
    port.reset_input_buffer()
    return port
