# SPDX-License-Identifier: MIT
import contextlib
import os
import signal

import pytest

import kq7


@pytest.fixture(scope="module")
def sensor():
    """One virtual sensor shared by a module's measurements."""
    with kq7.Spectrometer() as spectrometer:
        yield spectrometer


@pytest.fixture
def simulator():
    """Starts kq7sim with the given options; stopped after the test."""
    with contextlib.ExitStack() as stack:
        yield lambda **options: stack.enter_context(kq7.Simulator(**options))


@pytest.fixture
def open_sensor(simulator):
    """A Spectrometer on a kq7sim started with the given options."""
    with contextlib.ExitStack() as stack:
        yield lambda **options: stack.enter_context(kq7.Spectrometer(simulator(**options).port))


@pytest.fixture
def silenced_sensor(simulator):
    """A Spectrometer whose sensor identified, then stopped answering: its
    kq7sim is paused, so every call waits until the library's limits."""
    virtual = simulator()
    with kq7.Spectrometer(virtual.port) as spectrometer:
        os.kill(virtual.pid, signal.SIGSTOP)
        try:
            yield spectrometer
        finally:
            os.kill(virtual.pid, signal.SIGCONT)
