# SPDX-License-Identifier: MIT
import serial

import kq7


def test_list_sensors_tells_each_port_apart(simulator, tmp_path, monkeypatch):
    sensors = [simulator(seed=seed) for seed in (1, 2)]
    silent = simulator(fault="silent")
    regular = tmp_path / "not-a-port"
    regular.write_text("")
    monkeypatch.setenv("KQ7_PORTS", ":".join([sensors[1].port, silent.port, "/dev/null", str(regular)]))
    # Held with a lock, as kq7 holds a port: it must be left alone.
    with serial.Serial(sensors[0].port, exclusive=True):
        found = kq7.list_sensors([sensors[0].port, str(tmp_path / "gone")] + kq7.discovery.ports_named_in_environment())
    assert [(port.state, port.info and port.info.serial) for port in found] == [
        ("in use", None), ("gone", None), ("sensor", "SIM00002"), ("no answer", None),
        ("not a serial port", None), ("not a serial port", None)]
    assert 330 < found[2].wavelength_range[0] < found[2].wavelength_range[1] < 1040
