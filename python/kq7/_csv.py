# SPDX-License-Identifier: MIT
"""A spectrum as CSV, in the format that `kq7 capture -o` writes: `# key:
value` metadata lines, a header row, one row per band."""
import time
from typing import Iterable, List, Tuple

import numpy as np

from ._version import VERSION


def _yes_no(value: bool) -> str:
    return "yes" if value else "no"


def counts_column(averages: int, dark_subtracted: bool) -> str:
    """The value column named for what it holds."""
    if dark_subtracted:
        return "dark_subtracted_counts"
    return "mean_counts" if averages > 1 else "counts"


def metadata(info, port: str, virtual_sensor: bool, shutter: int, averages: int, dark_subtracted: bool,
             library_version: str) -> List[Tuple[str, str]]:
    """The metadata fields, in the command line's order; the time is now."""
    return [
        ("time", time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())),
        ("port", port),
        ("virtual_sensor", _yes_no(virtual_sensor)),
        ("model", info.model),
        ("serial", info.serial),
        ("shutter_value", str(shutter)),
        ("averages", str(averages)),
        ("dark_subtracted", _yes_no(dark_subtracted)),
        # Nine significant digits give the sensor's single-precision values back exactly.
        ("coefficients", " ".join("%.9g" % a for a in info.coefficients)),
        ("kq7_version", VERSION),
        ("library_version", library_version),
    ]


def spectrum_csv(wavelengths: np.ndarray, counts: np.ndarray, column: str,
                 fields: Iterable[Tuple[str, str]]) -> str:
    """Band numbers from 1, wavelengths in nm with three decimals, counts in
    C's %.6g (whole numbers stay without a fraction)."""
    lines = ["# %s: %s\n" % field for field in fields]
    lines.append(f"band,wavelength_nm,{column}\n")
    values = np.asarray(counts, dtype=np.float64).tolist()
    for band, (wavelength, value) in enumerate(zip(wavelengths.tolist(), values), 1):
        lines.append("%d,%.3f,%.6g\n" % (band, wavelength, value))
    return "".join(lines)
