# SPDX-License-Identifier: MIT
import os
import subprocess
import sys
from pathlib import Path

PYTHON_DIR = Path(__file__).resolve().parents[1]


def test_plot_example_writes_a_png(tmp_path):
    output = tmp_path / "spectrum.png"
    environment = dict(os.environ, PYTHONPATH=str(PYTHON_DIR))
    completed = subprocess.run(
        [sys.executable, str(PYTHON_DIR / "examples" / "plot_spectrum.py"), str(output)],
        env=environment, capture_output=True, text=True, timeout=60,
    )
    assert completed.returncode == 0, completed.stderr
    assert output.read_bytes().startswith(b"\x89PNG\r\n\x1a\n")
    assert "shutter" in completed.stdout
