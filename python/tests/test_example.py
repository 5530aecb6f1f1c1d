# SPDX-License-Identifier: MIT
import os
import subprocess
import sys
from pathlib import Path

PYTHON_DIR = Path(__file__).resolve().parents[1]
EXAMPLES = PYTHON_DIR.parent / "examples" / "python"


def _run_example(name, *arguments):
    environment = dict(os.environ, PYTHONPATH=str(PYTHON_DIR))
    completed = subprocess.run(
        [sys.executable, str(EXAMPLES / name), *map(str, arguments)],
        env=environment, capture_output=True, text=True, timeout=60,
    )
    assert completed.returncode == 0, completed.stderr
    return completed.stdout


def test_plot_example_writes_a_png(tmp_path):
    output = tmp_path / "spectrum.png"
    assert "shutter" in _run_example("plot_spectrum.py", output)
    assert output.read_bytes().startswith(b"\x89PNG\r\n\x1a\n")


def test_two_sensor_example_measures_both():
    lines = _run_example("two_sensors.py").splitlines()
    assert len(lines) == 2
    assert all(": KQ7 SIM" in line and "512 bands" in line for line in lines)
