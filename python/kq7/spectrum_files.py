# SPDX-License-Identifier: MIT
"""Spectra as files that other software reads, laid out as kq7 writes them:
JCAMP-DX 5.01 for spectroscopy programs, HDF5 by the NeXus rules for lab and
facility pipelines (with Debian's python3-h5py). `quantity` is "counts" or
one of the modes of kq7.measurements; `metadata` holds kq7's CSV fields.

JCAMP-DX: (XY..XY) pairs, the axis being uneven; invalid (NaN) bands are left
out, since each pair names its wavelength and many readers stop at the "?"
the format allows; ##$INVALID BANDS counts them.
"""
import os
from typing import Dict, Mapping, Tuple

import numpy as np

_Y_UNITS = {"transmittance": "TRANSMITTANCE", "absorbance": "ABSORBANCE", "reflectance": "REFLECTANCE"}
_LONG_NAMES = {"counts": "Counts", "transmittance": "Transmittance (fraction)", "absorbance": "Absorbance",
               "reflectance": "Reflectance (fraction)"}


def _replace_whole(path, write, refuse_existing: bool) -> None:
    """write(partial path), then the partial file takes path's place; nothing
    is left behind on failure."""
    if refuse_existing and os.path.exists(path):
        raise FileExistsError(f"cannot write {path}: it exists")
    partial = f"{path}.partial"
    try:
        write(partial)
        os.replace(partial, path)
    except BaseException:
        if os.path.exists(partial):
            os.remove(partial)
        raise


def _one_line(text) -> str:
    return str(text).replace("\r", " ").replace("\n", " ")


def jcamp_text(wavelengths, values, quantity: str, metadata: Mapping[str, str], title: str) -> str:
    """The whole JCAMP-DX file, as kq7 writes it."""
    valid = np.isfinite(values)
    x = np.asarray(wavelengths, dtype=float)[valid]
    y = np.asarray(values, dtype=float)[valid]
    iso = metadata.get("time", "")
    lines = [f"##TITLE={_one_line(title)}", "##JCAMP-DX=5.01", "##DATA TYPE=UV/VIS SPECTRUM",
             "##DATA CLASS=XYPOINTS", f"##ORIGIN=kq7 {_one_line(metadata.get('kq7_version', ''))}", "##OWNER="]
    if len(iso) == 20 and iso.endswith("Z"):
        lines.append(f"##LONGDATE={iso[0:4]}/{iso[5:7]}/{iso[8:10]} {iso[11:19]} +0000")
    lines += [f"##SPECTROMETER/DATA SYSTEM={_one_line(metadata.get('model', ''))} "
              f"{_one_line(metadata.get('serial', ''))}",
              "##XUNITS=NANOMETERS", f"##YUNITS={_Y_UNITS.get(quantity, 'ARBITRARY UNITS')}",
              "##XFACTOR=1", "##YFACTOR=1"]
    if x.size:
        lines += ["##FIRSTX=%.3f" % x[0], "##LASTX=%.3f" % x[-1], "##FIRSTY=%.9g" % y[0]]
    lines += [f"##NPOINTS={x.size}", f"##$QUANTITY={quantity}"]
    lines += [f"##${_one_line(key).upper().replace('_', ' ')}={_one_line(value)}" for key, value in metadata.items()]
    lines += [f"##$INVALID BANDS={valid.size - x.size}", "##XYPOINTS=(XY..XY)"]
    lines += ["%.3f,%.9g" % pair for pair in zip(x, y)]
    return "\n".join(lines + ["##END="]) + "\n"


def save_jcamp(path, wavelengths, values, quantity: str = "counts", metadata: Mapping[str, str] = None,
               title: str = "") -> None:
    """Writes a JCAMP-DX 5.01 file whole (replacing one there)."""
    text = jcamp_text(wavelengths, values, quantity, dict(metadata or {}), title)

    def write(partial):
        with open(partial, "w", encoding="ascii", newline="\n") as file:
            file.write(text)
    _replace_whole(path, write, False)


def read_jcamp(path) -> Tuple[Dict[str, str], np.ndarray, np.ndarray]:
    """(labelled records without "##", wavelengths, values) of one spectrum in
    (XY..XY) form, such as kq7 writes."""
    records, pairs = {}, []
    with open(path, encoding="ascii") as file:
        for line in file:
            line = line.strip()
            if line.startswith("##"):
                label, _, value = line[2:].partition("=")
                records[label] = value
            elif line and not line.startswith("$$"):
                pairs.append([float(number) for number in line.replace(",", " ").split()[:2]])
    points = np.array(pairs, dtype=float).reshape(-1, 2)
    return records, points[:, 0], points[:, 1]


def _h5py():
    try:
        import h5py
    except ImportError as error:
        raise ImportError("HDF5 files need h5py (Debian: apt-get install python3-h5py)") from error
    return h5py


def _metadata_value(text: str):
    """Numbers as numbers, as kq7 stores them."""
    for kind in (int, float):
        try:
            return kind(text)
        except ValueError:
            pass
    return text


def save_nexus(path, wavelengths, values, quantity: str = "counts", metadata: Mapping[str, str] = None,
               title: str = "") -> None:
    """Writes one spectrum as an HDF5 file laid out by NeXus, as kq7 does:
    /entry/data (NXdata) with signal=<quantity> and axes="wavelength" (nm),
    the sensor and settings in /entry/instrument/detector. An existing file is
    refused; the file is written whole or not at all."""
    h5py = _h5py()
    metadata = dict(metadata or {})

    def write(partial):
        with h5py.File(partial, "w") as file:
            file.attrs.update({"default": "entry", "creator": f"kq7 {metadata.get('kq7_version', '')}",
                               "file_time": metadata.get("time", "")})
            entry = file.create_group("entry")
            entry.attrs.update({"NX_class": "NXentry", "default": "data"})
            entry["title"], entry["start_time"] = title, metadata.get("time", "")
            instrument = entry.create_group("instrument")
            instrument.attrs["NX_class"] = "NXinstrument"
            instrument["name"] = metadata.get("model", "")
            detector = instrument.create_group("detector")
            detector.attrs["NX_class"] = "NXdetector"
            detector["serial_number"] = metadata.get("serial", "")
            for key, value in metadata.items():
                if key != "serial":
                    detector[key] = _metadata_value(value)
            data = entry.create_group("data")
            data.attrs.update({"NX_class": "NXdata", "signal": quantity, "axes": "wavelength",
                               "wavelength_indices": 0})
            axis = data.create_dataset("wavelength", data=np.asarray(wavelengths, dtype=float))
            axis.attrs.update({"units": "nm", "long_name": "Wavelength (nm)"})
            signal = data.create_dataset(quantity, data=np.asarray(values, dtype=float))
            signal.attrs.update({"units": "counts" if quantity == "counts" else "1",
                                 "long_name": _LONG_NAMES.get(quantity, quantity)})
    _replace_whole(path, write, True)


def read_nexus(path) -> Tuple[Dict[str, object], np.ndarray, np.ndarray, str]:
    """(detector fields, wavelengths, values, quantity) of a NeXus file that
    kq7 wrote; a stream's values have one row for each spectrum."""
    h5py = _h5py()
    with h5py.File(path, "r") as file:
        entry = file[file.attrs.get("default", "entry")]
        data = entry[entry.attrs.get("default", "data")]
        quantity = data.attrs["signal"]
        fields = {key: value[()] for key, value in entry["instrument/detector"].items()}
        fields = {key: value.decode() if isinstance(value, bytes) else value for key, value in fields.items()}
        return fields, data["wavelength"][()], data[quantity][()], quantity
