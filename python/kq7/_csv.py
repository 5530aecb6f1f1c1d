# SPDX-License-Identifier: MIT
"""A spectrum as CSV, in the format that `kq7 capture -o` writes."""
import numpy as np


def spectrum_csv(wavelengths: np.ndarray, counts: np.ndarray) -> str:
    """One row per band: band number from 1, wavelength in nm with three
    decimals, counts in C's %.6g (whole numbers stay without a fraction)."""
    rows = ["band,wavelength_nm,counts\n"]
    for band, (wavelength, value) in enumerate(zip(wavelengths.tolist(), np.asarray(counts, dtype=np.float64).tolist()), 1):
        rows.append("%d,%.3f,%.6g\n" % (band, wavelength, value))
    return "".join(rows)
