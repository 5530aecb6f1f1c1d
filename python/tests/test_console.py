# SPDX-License-Identifier: MIT
"""Quiet mode lends descriptor 1 to the null device and must give it back on
every way out of a call."""
import os

import pytest

from kq7 import _console


def _identity(status):
    return status.st_dev, status.st_ino


def _stdout_file():
    return _identity(os.fstat(1))


def _interrupted_flush(stream):
    raise KeyboardInterrupt


@pytest.mark.parametrize("error", [KeyboardInterrupt, OSError])
def test_quiet_call_gives_descriptor_1_back_when_the_call_raises(error):
    before = _stdout_file()
    with pytest.raises(error):
        with _console.Console(quiet=True).around_call():
            assert _stdout_file() == _identity(os.stat(os.devnull))
            raise error
    assert _stdout_file() == before


@pytest.mark.parametrize("quiet", [True, False])
def test_interrupt_during_the_flush_still_gives_descriptor_1_back(monkeypatch, quiet):
    before = _stdout_file()
    monkeypatch.setattr(_console, "_fflush", _interrupted_flush)
    with pytest.raises(KeyboardInterrupt):
        with _console.Console(quiet=quiet).around_call():
            pass
    assert _stdout_file() == before
