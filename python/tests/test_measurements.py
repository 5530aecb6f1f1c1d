# SPDX-License-Identifier: MIT
"""Absorbance of kq7sim's sample against its known band, reference files,
and spectra written as JCAMP-DX and NeXus files and read back."""
import math

import numpy as np
import pytest

from kq7 import measurements, spectrum_files

CENTRE, FWHM, DEPTH = 560.0, 40.0, 0.8
SHUTTER, AVERAGE = 1000, 8


@pytest.fixture(scope="module")
def absorbance(tmp_path_factory):
    """(wavelengths, absorbance, invalid bands, metadata): the blank taken on
    one kq7sim, the sample measured on another with the same serial."""
    import kq7
    path = tmp_path_factory.mktemp("reference") / "blank.csv"
    with kq7.Spectrometer() as sensor:
        measurements.take_reference(sensor, SHUTTER, AVERAGE).save(path)
    with kq7.Simulator(absorber=f"{CENTRE}:{FWHM}:{DEPTH}", quiet=True) as sim, kq7.Spectrometer(sim.port) as sensor:
        values, invalid = measurements.measure(sensor, SHUTTER, measurements.read_reference(path), "absorbance",
                                               AVERAGE)
        return sensor.wavelengths, values, invalid, measurements.read_reference(path).metadata


def test_absorbance_follows_the_samples_band(absorbance):
    wavelengths, values, invalid, _ = absorbance
    truth = DEPTH * np.exp(-4 * math.log(2) * ((wavelengths - CENTRE) / FWHM) ** 2)
    assert invalid == 0
    assert np.max(np.abs(values - truth)) < 0.05
    assert values.max() == pytest.approx(DEPTH, abs=0.02)


@pytest.mark.parametrize("edit, reason", [
    (lambda text: text.replace(",saturated\n1,", ",saturated\n1,0"), "not as written"),
    (lambda text: text.replace("# kind: reference\n", ""), "not a reference"),
])
def test_edited_reference_is_refused(absorbance, tmp_path, edit, reason):
    wavelengths = absorbance[0]
    reference = measurements.Reference(wavelengths, wavelengths * 0 + 2000, wavelengths * 0 + 1000,
                                       wavelengths < 0, absorbance[3])
    reference.save(tmp_path / "r.csv")
    (tmp_path / "r.csv").write_text(edit((tmp_path / "r.csv").read_text()))
    with pytest.raises(ValueError, match=reason):
        measurements.read_reference(tmp_path / "r.csv")


def test_files_read_back(absorbance, tmp_path):
    h5py = pytest.importorskip("h5py")
    wavelengths, values, _, metadata = absorbance
    values = values.copy()
    values[:3] = np.nan
    spectrum_files.save_jcamp(tmp_path / "a.jdx", wavelengths, values, "absorbance", metadata, "sample")
    records, x, y = spectrum_files.read_jcamp(tmp_path / "a.jdx")
    assert (records["YUNITS"], records["NPOINTS"], records["$INVALID BANDS"]) == ("ABSORBANCE", "509", "3")
    np.testing.assert_allclose(x, wavelengths[3:], atol=5e-4)
    np.testing.assert_allclose(y, values[3:], rtol=1e-8)
    spectrum_files.save_nexus(tmp_path / "a.h5", wavelengths, values, "absorbance", metadata, "sample")
    with h5py.File(tmp_path / "a.h5") as file:
        data = file["entry/data"]
        assert (data.attrs["NX_class"], data.attrs["signal"], data.attrs["axes"]) == ("NXdata", "absorbance",
                                                                                      "wavelength")
        assert file["entry/instrument/detector/shutter_value"][()] == SHUTTER
    with pytest.raises(FileExistsError):
        spectrum_files.save_nexus(tmp_path / "a.h5", wavelengths, values, "absorbance", metadata)
