# SPDX-License-Identifier: MIT
import os
import select
import threading

import pytest
import serial

import kq7


def _echo(master: int, stop: threading.Event) -> None:
    """The other side of a pseudo-terminal that sends back what it gets."""
    while not stop.is_set():
        if select.select([master], [], [], 0.05)[0]:
            os.write(master, os.read(master, 1024))


def test_list_sensors_tells_each_port_apart(simulator, tmp_path, monkeypatch):
    sensors = [simulator(seed=seed) for seed in (1, 2)]
    silent = simulator(fault="silent")
    regular = tmp_path / "not-a-port"
    regular.write_text("")
    master, echoing = os.openpty()
    stop = threading.Event()
    echo = threading.Thread(target=_echo, args=(master, stop), daemon=True)
    echo.start()
    named = [sensors[1].port, silent.port, os.ttyname(echoing), "/dev/null", str(regular)]
    monkeypatch.setenv("KQ7_PORTS", ":".join(named))
    # Held with a lock, as kq7 holds a port: it must be left alone.
    with serial.Serial(sensors[0].port, exclusive=True):
        found = kq7.list_sensors([sensors[0].port, str(tmp_path / "gone")] + kq7.discovery.ports_named_in_environment())
    stop.set()
    echo.join()
    os.close(master)
    os.close(echoing)
    assert [(port.state, port.info and port.info.serial) for port in found] == [
        ("in use", None), ("gone", None), ("sensor", "SIM00002"), ("no answer", None),
        ("not a KQ7 sensor", None), ("not a serial port", None), ("not a serial port", None)]
    assert found[4].detail == "echoes what it is sent"
    assert 330 < found[2].wavelength_range[0] < found[2].wavelength_range[1] < 1040


def test_a_spectrometer_opens_by_serial_number_and_holds_its_port(simulator, monkeypatch):
    sensors = [simulator(seed=seed) for seed in (1, 2)]
    monkeypatch.setenv("KQ7_PORTS", ":".join(sensor.port for sensor in sensors))
    with kq7.Spectrometer(serial="SIM00002") as spectrometer:
        assert spectrometer.port == sensors[1].port
        assert kq7.list_sensors([sensors[1].port])[0].state == "in use"
    with pytest.raises(kq7.PortError, match="no port holds sensor SIM00099.*" + sensors[0].port):
        kq7.Spectrometer(serial="SIM00099")
