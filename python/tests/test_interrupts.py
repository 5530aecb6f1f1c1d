# SPDX-License-Identifier: MIT
"""Blocked calls end at once on Ctrl-C, on cancel(), at their timeout, and
when the port goes away."""
import os
import signal
import threading
import time

import pytest

import kq7

# Long enough that only an interruption can end a capture on a silent sensor
# in time: the library itself would wait tens of seconds.
LONG_SHUTTER = 10000
PROMPT_S = 0.5


@pytest.mark.parametrize("interrupt, error", [
    (lambda s: os.kill(os.getpid(), signal.SIGINT), KeyboardInterrupt),
    (lambda s: s.cancel(), kq7.Cancelled),
])
def test_ctrl_c_or_cancel_from_another_thread_ends_a_blocked_capture(silenced_sensor, interrupt, error):
    fired = []
    threading.Timer(0.2, lambda: fired.append(time.monotonic()) or interrupt(silenced_sensor)).start()
    with pytest.raises(error) as raised:
        silenced_sensor.capture(LONG_SHUTTER)
    assert time.monotonic() - fired[0] < PROMPT_S
    assert not isinstance(raised.value, kq7.SensorTimeout)


@pytest.mark.parametrize("call", [
    lambda s: s.capture(LONG_SHUTTER, timeout=0.3),
    lambda s: s.capture(LONG_SHUTTER, average=5, timeout=0.3),
    lambda s: s.dark(LONG_SHUTTER, timeout=0.3),
    lambda s: s.auto_exposure(90, timeout=0.3),
    lambda s: s.shutter(True, timeout=0.3),
])
def test_timeout_ends_the_call(silenced_sensor, call):
    start = time.monotonic()
    with pytest.raises(kq7.SensorTimeout, match="time limit"):
        call(silenced_sensor)
    assert time.monotonic() - start < 0.3 + PROMPT_S


def test_port_that_goes_away_ends_the_call_with_a_port_error(simulator):
    virtual = simulator()
    with kq7.Spectrometer(virtual.port) as sensor:
        virtual.stop()
        start = time.monotonic()
        with pytest.raises(kq7.PortError) as raised:
            sensor.capture(100)
        assert time.monotonic() - start < PROMPT_S
        assert raised.value.__cause__ is not None


def test_sensor_refuses_calls_until_an_interrupted_identification_is_repeated(simulator):
    virtual = simulator()
    with kq7.Spectrometer(virtual.port) as sensor:
        os.kill(virtual.pid, signal.SIGSTOP)
        with pytest.raises(kq7.SensorTimeout):
            sensor.identify(timeout=0.2)
        os.kill(virtual.pid, signal.SIGCONT)
        with pytest.raises(kq7.SensorError, match="not identified"):
            sensor.capture(100)
        time.sleep(0.2)  # the late reply to the interrupted request arrives
        assert sensor.identify().band_count == 512
        assert sensor.capture(100).shape == (512,)
