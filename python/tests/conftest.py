# SPDX-License-Identifier: MIT
import contextlib

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
