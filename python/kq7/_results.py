# SPDX-License-Identifier: MIT
"""The library's result codes as exceptions."""
from . import _library
from .errors import Cancelled, NoReply, PortError, RejectedReply, SensorBusy, SensorError, SensorTimeout

_CLASS_OF_CODE = {
    _library.ERR_NO_REPLY: NoReply,
    _library.ERR_REJECTED_REPLY: RejectedReply,
    _library.ERR_BAD_IDENTIFICATION: RejectedReply,
    _library.ERR_SHORT_SPECTRUM: RejectedReply,
    _library.ERR_BUSY: SensorBusy,
    _library.ERR_CANCELLED: Cancelled,
    _library.ERR_TIMEOUT: SensorTimeout,
    _library.ERR_IO: PortError,
}


def text(library, code: int) -> str:
    return library.kq7_strerror(code).decode("ascii", errors="replace")


def error_for(library, code: int, action: str) -> SensorError:
    """The exception for a failed call: "ACTION: library's text", with the code."""
    return _CLASS_OF_CODE.get(code, SensorError)(f"{action}: {text(library, code)}", code)
