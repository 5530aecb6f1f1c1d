# SPDX-License-Identifier: MIT
"""The library's diagnostics go to the process's standard output (file
descriptor 1), partly through C stdio buffers that it never flushes. Quiet mode
points descriptor 1 at the null device for the length of each call."""
import contextlib
import ctypes
import os
import sys

if sys.platform == "win32":
    _C_RUNTIME = ctypes.CDLL("ucrtbase")
else:
    _C_RUNTIME = ctypes.CDLL(None)
_fflush = _C_RUNTIME.fflush
_fflush.argtypes = [ctypes.c_void_p]
_fflush.restype = ctypes.c_int

_STDOUT_FD = 1


def _flush_c_streams() -> None:
    # fflush(NULL): every C output stream, so that nothing the library printed
    # reaches descriptor 1 after it has been restored.
    _fflush(None)


def _restore_stdout(saved: int) -> None:
    try:
        os.dup2(saved, _STDOUT_FD)
    finally:
        os.close(saved)


def _silence_stdout() -> int:
    """Points descriptor 1 at the null device; returns a copy of the old one."""
    saved = os.dup(_STDOUT_FD)
    try:
        null = os.open(os.devnull, os.O_WRONLY)
        try:
            os.dup2(null, _STDOUT_FD)
        finally:
            os.close(null)
    except BaseException:
        _restore_stdout(saved)
        raise
    return saved


class Console:
    """Wraps each library call: silenced when quiet, else flushed in order."""

    def __init__(self, quiet: bool):
        self.quiet = quiet

    @contextlib.contextmanager
    def around_call(self):
        # Python's own pending output belongs before the library's.
        if sys.stdout is not None:
            sys.stdout.flush()
        saved = _silence_stdout() if self.quiet else None
        try:
            yield
        finally:
            # Nested, so that an interrupt landing in the flush (Ctrl-C) still
            # gives descriptor 1 back.
            try:
                _flush_c_streams()
            finally:
                if saved is not None:
                    _restore_stdout(saved)
