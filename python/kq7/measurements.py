# SPDX-License-Identifier: MIT
"""Transmittance, absorbance and reflectance: a sample measured against a
reference (the blank, or a white standard for reflectance), each light
spectrum with its own dark at the same settings. The reference file is the
one `kq7 reference` writes: kq7's CSV with metadata, a `# kind: reference`
line and a CRC-32 of its rows, so that a truncated or edited file is refused.

    reference = kq7.measurements.take_reference(sensor, shutter=200, average=4)
    reference.save("blank.csv")
    ...
    absorbance, invalid = kq7.measurements.measure(sensor, 200, kq7.measurements.read_reference("blank.csv"),
                                                   "absorbance", average=4)
"""
import zlib
from dataclasses import dataclass, field
from typing import Dict, Optional, Tuple

import numpy as np

from . import _csv

MODES = ("transmittance", "absorbance", "reflectance")

# Below this many counts of reference light (reference minus its dark) a band
# is not divided by: the ratio would be noise, and near zero heads for
# infinity.
MIN_REFERENCE_LIGHT = 50.0

_KIND = "reference"
_HEADER = "band,wavelength_nm,reference_counts,dark_counts,saturated"


@dataclass
class Reference:
    """Mean counts of the reference light and of its dark, which bands
    saturated, the wavelengths, and the metadata (serial, shutter_value,
    averages, ...)."""
    wavelengths: np.ndarray
    light: np.ndarray
    dark: np.ndarray
    saturated: np.ndarray
    metadata: Dict[str, str] = field(default_factory=dict)

    def save(self, path) -> None:
        rows = [_HEADER] + ["%d,%.3f,%.9g,%.9g,%s" % (band, nm, light, dark, "yes" if saturated else "no")
                            for band, (nm, light, dark, saturated)
                            in enumerate(zip(self.wavelengths, self.light, self.dark, self.saturated), 1)]
        data = "".join(row + "\n" for row in rows)
        fields = {key: value for key, value in self.metadata.items() if key not in ("kind", "data_crc32")}
        lines = ["# kind: %s\n" % _KIND] + ["# %s: %s\n" % item for item in fields.items()]
        lines.append("# data_crc32: %08x\n" % zlib.crc32(data.encode()))
        with open(path, "w", encoding="utf-8", newline="\n") as file:
            file.write("".join(lines) + data)


def _captures(sensor, shutter: int, average: int) -> Tuple[np.ndarray, np.ndarray]:
    """The mean of `average` captures and the bands at full scale in any."""
    total = np.zeros(sensor.info.band_count)
    saturated = np.zeros(sensor.info.band_count, dtype=bool)
    for _ in range(average):
        counts = sensor.capture(shutter)
        total += counts
        saturated |= counts >= sensor.info.full_scale
    return total / average, saturated


def take_reference(sensor, shutter: int, average: int = 1) -> Reference:
    """The reference light and its dark at `shutter`, each the mean of
    `average` captures."""
    dark = sensor.dark(shutter, average)
    light, saturated = _captures(sensor, shutter, average)
    fields = _csv.metadata(sensor.info, sensor.port, sensor._simulator is not None, shutter, average, False,
                           sensor._lib.kq7_version().decode())
    return Reference(sensor.wavelengths.copy(), light, dark, saturated, dict(fields))


def read_reference(path) -> Reference:
    """Reads a reference file; ValueError with the reason for anything else."""
    with open(path, encoding="utf-8", newline=None) as file:
        lines = file.read().splitlines()
    metadata = {}
    while lines and lines[0].startswith("# "):
        key, _, value = lines.pop(0)[2:].partition(": ")
        metadata[key] = value
    if metadata.get("kind") != _KIND:
        raise ValueError(f"{path}: not a reference file (no '# kind: reference' line)")
    if metadata.get("data_crc32") != "%08x" % zlib.crc32("".join(line + "\n" for line in lines).encode()):
        raise ValueError(f"{path}: its rows are not as written (truncated or edited)")
    if not lines or lines[0] != _HEADER:
        raise ValueError(f"{path}: no header row '{_HEADER}'")
    rows = [line.split(",") for line in lines[1:]]
    if any(len(row) != 5 or row[0] != str(band) for band, row in enumerate(rows, 1)):
        raise ValueError(f"{path}: rows out of order or incomplete")
    columns = list(zip(*rows)) or [()] * 5
    return Reference(np.array(columns[1], dtype=float), np.array(columns[2], dtype=float),
                     np.array(columns[3], dtype=float), np.array(columns[4]) == "yes", metadata)


def check_reference(reference: Reference, sensor, shutter: int, average: int,
                    accept_shutter_scaling: bool = False) -> float:
    """The factor on the reference light (the ratio of the shutter values when
    scaling is accepted, else 1); ValueError with the reason unless the
    reference is from this sensor, with its band count, shutter value and
    averaging, and has light in some band."""
    meta = reference.metadata
    if meta.get("serial") != sensor.info.serial:
        raise ValueError(f"the reference was taken with sensor {meta.get('serial')!r}, not {sensor.info.serial!r}")
    if reference.light.size != sensor.info.band_count:
        raise ValueError(f"the reference has {reference.light.size} bands, the sensor {sensor.info.band_count}")
    if int(meta.get("averages", 0)) != average:
        raise ValueError(f"the reference averages {meta.get('averages')} captures, this measurement {average}")
    taken = int(meta.get("shutter_value", 0))
    if taken != shutter and not (accept_shutter_scaling and taken > 0):
        raise ValueError(f"the reference was taken at shutter value {taken}, this measurement at {shutter}")
    scale = 1.0 if taken == shutter else shutter / taken
    if not np.any((reference.light - reference.dark) * scale >= MIN_REFERENCE_LIGHT):
        raise ValueError(f"the reference is dark: no band has {MIN_REFERENCE_LIGHT:g} counts above its dark")
    return scale


def compute_mode(mode: str, light, dark, reference: Reference, *, scale: float = 1.0,
                 saturated: Optional[np.ndarray] = None) -> Tuple[np.ndarray, int]:
    """(values, number of invalid bands): (S - D) / (R - Dr) for transmittance
    and reflectance, its -log10 for absorbance; NaN where either spectrum
    saturated or the reference light is below MIN_REFERENCE_LIGHT."""
    if mode not in MODES:
        raise ValueError(f"mode must be one of {', '.join(MODES)}, not {mode!r}")
    sample = np.asarray(light, dtype=float) - np.asarray(dark, dtype=float)
    reference_light = (reference.light - reference.dark) * scale
    invalid = reference.saturated | ~(reference_light >= MIN_REFERENCE_LIGHT)
    if saturated is not None:
        invalid |= saturated
    with np.errstate(divide="ignore", invalid="ignore"):
        values = np.where(invalid, np.nan, sample / np.where(invalid, 1.0, reference_light))
        if mode == "absorbance":
            values = np.where(values > 0, -np.log10(np.where(values > 0, values, 1.0)), np.nan)
    return values, int(np.isnan(values).sum())


def boxcar(values, half_width: int) -> np.ndarray:
    """A centred moving average over the band and `half_width` bands on either
    side. Near the ends the window shrinks on both sides alike, so it stays
    centred (the end bands keep their values); NaN bands stay NaN and are
    left out of their neighbours' means."""
    values = np.asarray(values, dtype=float)
    smoothed = values.copy()
    last = values.size - 1
    for band in range(values.size):
        reach = min(max(half_width, 0), band, last - band)
        if not np.isnan(values[band]):
            smoothed[band] = np.nanmean(values[band - reach:band + reach + 1])
    return smoothed


def measure(sensor, shutter: int, reference: Reference, mode: str, average: int = 1, *,
            accept_shutter_scaling: bool = False, boxcar_half_width: int = 0) -> Tuple[np.ndarray, int]:
    """The sample's `mode` values against `reference`, with a dark taken now;
    (values, number of invalid bands). The reference is checked first."""
    scale = check_reference(reference, sensor, shutter, average, accept_shutter_scaling)
    dark = sensor.dark(shutter, average)
    light, saturated = _captures(sensor, shutter, average)
    values, invalid = compute_mode(mode, light, dark, reference, scale=scale, saturated=saturated)
    return boxcar(values, boxcar_half_width), invalid


def measure_with(sensor, shutter: int, average: int, reference, mode: Optional[str]) -> np.ndarray:
    """Spectrometer.capture(..., reference=, mode=): `reference` a Reference
    or the path of a reference file; the values, NaN where invalid."""
    if reference is None or mode is None:
        raise ValueError("reference and mode go together")
    if not isinstance(reference, Reference):
        reference = read_reference(reference)
    return measure(sensor, shutter, reference, mode, average)[0]
