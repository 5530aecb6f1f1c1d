# SPDX-License-Identifier: MIT
"""The payloads of kq7's MQTT topics (docs/publishing.md) as numpy arrays.

    serial, kind = kq7.mqtt.topic_parts("kq7", message.topic)
    if kind == "spectrum":
        spectrum = kq7.mqtt.decode_spectrum(message.payload)

Needs numpy only: any MQTT client (paho, for one) hands over the payloads.
"""
import json
import struct
from dataclasses import dataclass
from typing import Optional, Tuple

import numpy as np

# The binary spectrum: a 32-byte little-endian header, then the counts as
# little-endian IEEE 754 binary32 values, band 1 first.
_HEADER = struct.Struct("<4sBBHQQIHH")  # magic, layout, flags, bands, time_ms, sequence, shutter, averages, saturated
_MAGIC = b"KQ7S"
_LAYOUT = 1
_DARK_SUBTRACTED = 0x01
_KINDS = ("info", "status", "spectrum", "set", "set/result")


@dataclass
class Spectrum:
    time_ms: int  # UTC, milliseconds since 1970-01-01
    sequence: int
    shutter: int
    averages: int
    dark_subtracted: bool
    saturated_bands: int
    counts: np.ndarray  # float64, band 1 first


@dataclass
class SensorInfo:
    model: str
    serial: str
    coefficients: np.ndarray  # a0 (cubic term) to a3 (constant)
    wavelengths_nm: np.ndarray
    library_version: str
    kq7_version: str
    host: str
    port: str
    virtual_sensor: bool

    @property
    def bands(self) -> int:
        return len(self.wavelengths_nm)


def topic_parts(prefix: str, topic: str) -> Optional[Tuple[str, str]]:
    """(serial, kind) of PREFIX/SERIAL/KIND, kind one of info, status,
    spectrum, set, set/result; None for any other topic."""
    head = prefix + "/"
    if not topic.startswith(head):
        return None
    serial, _, kind = topic[len(head):].partition("/")
    return (serial, kind) if serial and kind in _KINDS else None


def decode_spectrum(payload: bytes) -> Spectrum:
    """A spectrum in either format. Raises ValueError for anything else."""
    if payload[:4] != _MAGIC:
        fields = json.loads(payload)
        return Spectrum(
            fields["time_ms"], fields["sequence"], fields["shutter"], fields["averages"],
            bool(fields["dark_subtracted"]), fields["saturated_bands"], np.asarray(fields["counts"], dtype=float))
    if len(payload) < _HEADER.size:
        raise ValueError(f"a binary spectrum of {len(payload)} bytes, shorter than its header")
    _, layout, flags, bands, time_ms, sequence, shutter, averages, saturated = _HEADER.unpack_from(payload)
    if layout != _LAYOUT:
        raise ValueError(f"binary spectrum layout {layout}, not {_LAYOUT}")
    if len(payload) != _HEADER.size + 4 * bands:
        raise ValueError(f"a binary spectrum of {bands} bands in {len(payload)} bytes")
    counts = np.frombuffer(payload, dtype="<f4", count=bands, offset=_HEADER.size).astype(float)
    return Spectrum(time_ms, sequence, shutter, averages, bool(flags & _DARK_SUBTRACTED), saturated, counts)


def decode_info(payload: bytes) -> SensorInfo:
    fields = json.loads(payload)
    return SensorInfo(
        fields["model"], fields["serial"], np.asarray(fields["coefficients"], dtype=float),
        np.asarray(fields["wavelengths_nm"], dtype=float), fields["library_version"], fields["kq7_version"],
        fields["host"], fields["port"], bool(fields["virtual_sensor"]))


def decode_status(payload: bytes) -> dict:
    """state (online, capturing, no_answer, disconnected, offline) and, but
    for the last will, time_ms, accepts_settings and dropped_spectra."""
    return json.loads(payload)
