# SPDX-License-Identifier: MIT
"""The shared library nerb_kq7lib through ctypes: where it is, and the exact
prototypes of its device interface and of the functions it calls back."""
import ctypes
import sys
import sysconfig
from pathlib import Path
from typing import List

from . import _locate
from .errors import LibraryNotFound

LIBRARY_VARIABLE = "NERB_KQ7LIB"

if sys.platform == "win32":
    # Every export and callback is __stdcall on Windows.
    _Loader = ctypes.WinDLL
    _FUNCTYPE = ctypes.WINFUNCTYPE
    _FILE_NAME = "nerb_kq7lib.dll"
    _BUILD_PATHS = ("src/" + _FILE_NAME, "src/Release/" + _FILE_NAME, "src/RelWithDebInfo/" + _FILE_NAME)
    _INSTALLED_NAME = _FILE_NAME
    _INSTALLED_DIRECTORIES = ()
else:
    _Loader = ctypes.CDLL
    _FUNCTYPE = ctypes.CFUNCTYPE
    _FILE_NAME = "libnerb_kq7lib.dylib" if sys.platform == "darwin" else "libnerb_kq7lib.so"
    _BUILD_PATHS = ("src/" + _FILE_NAME,)
    _INSTALLED_NAME = "libnerb_kq7lib.1.dylib" if sys.platform == "darwin" else "libnerb_kq7lib.so.1"
    # Beside the loader's own search: the Debian package's folder, and where
    # `cmake --install` puts it when ldconfig has not run since.
    _INSTALLED_DIRECTORIES = tuple(
        Path(folder)
        for folder in (f"/usr/lib/{sysconfig.get_config_var('MULTIARCH') or ''}", "/usr/local/lib")
    )

# int64_t write(void *context, const uint8_t *data, int64_t length)
WriteFn = _FUNCTYPE(ctypes.c_int64, ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint8), ctypes.c_int64)
# int64_t read(void *context, uint8_t *dest, int64_t maxLength)
ReadFn = _FUNCTYPE(ctypes.c_int64, ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint8), ctypes.c_int64)
# void log(void *context, const char *line): the line stays a bare pointer,
# read only when someone listens.
LogFn = _FUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)

# Result codes (nerb_kq7lib.h).
OK = 0
ERR_INVALID_ARGUMENT = -1
ERR_NOT_IDENTIFIED = -2
ERR_NO_REPLY = -3
ERR_REJECTED_REPLY = -4
ERR_BUSY = -5
ERR_BAD_IDENTIFICATION = -6
ERR_SHORT_SPECTRUM = -7
ERR_OUT_OF_RANGE = -8
ERR_CANCELLED = -9
ERR_IN_USE = -10


class SensorInfoC(ctypes.Structure):
    """The 228-byte identification record."""

    _fields_ = [
        ("identField1", ctypes.c_char * 100),
        ("maxValue", ctypes.c_int32),
        ("bandnumber", ctypes.c_int32),
        ("identField2", ctypes.c_char * 100),
        ("coeff", ctypes.c_float * 4),
        ("flag", ctypes.c_uint8),
    ]


SENSOR_INFO_C_SIZE = 228
assert ctypes.sizeof(SensorInfoC) == SENSOR_INFO_C_SIZE, "SensorInfoC must match the C layout"

_Device = ctypes.c_void_p
_PROTOTYPES = {
    "kq7_open": (_Device, [WriteFn, ReadFn, ctypes.c_void_p]),
    "kq7_close": (None, [_Device]),
    "kq7_identify": (ctypes.c_int, [_Device]),
    "kq7_get_info": (ctypes.c_int, [_Device, ctypes.POINTER(SensorInfoC)]),
    "kq7_set_shutter_open": (ctypes.c_int, [_Device, ctypes.c_int]),
    "kq7_capture": (ctypes.c_int, [_Device, ctypes.c_int32, ctypes.POINTER(ctypes.c_uint16), ctypes.c_int32]),
    "kq7_auto_exposure": (ctypes.c_int, [_Device, ctypes.c_int, ctypes.POINTER(ctypes.c_int32)]),
    "kq7_write_coefficients": (ctypes.c_int, [_Device, ctypes.POINTER(ctypes.c_double), ctypes.c_int]),
    "kq7_cancel": (None, [_Device]),
    "kq7_set_log": (None, [_Device, LogFn, ctypes.c_void_p]),
    "kq7_strerror": (ctypes.c_char_p, [ctypes.c_int]),
    "kq7_version": (ctypes.c_char_p, []),
    "kq7_wavelengths": (ctypes.c_int,
                        [ctypes.POINTER(SensorInfoC), ctypes.POINTER(ctypes.c_double), ctypes.c_int32]),
}

_loaded = None


def candidates() -> List[str]:
    """Where the library is looked for, in order: $NERB_KQ7LIB alone when set;
    else the build trees of this checkout, the name that the system's loader
    resolves, and the folders that installs use."""
    explicit = _locate.from_environment(LIBRARY_VARIABLE)
    if explicit is not None:
        return [str(explicit)]
    paths = [str(path) for path in _locate.in_build_trees(*_BUILD_PATHS)]
    paths.append(_INSTALLED_NAME)
    paths += [str(folder / _INSTALLED_NAME) for folder in _INSTALLED_DIRECTORIES]
    return paths


def _first_loadable(paths: List[str]):
    failures = []
    for path in paths:
        try:
            library = _Loader(path)
        except OSError as error:
            failures.append(error)
            continue
        # A library from before the device interface has only the seven exports.
        if hasattr(library, "kq7_open"):
            return library
        failures.append(OSError(f"{path}: no kq7_open, a library older than 1.1"))
    tried = "".join(f"\n  {failure}" for failure in failures)
    raise LibraryNotFound(
        f"cannot load nerb_kq7lib; tried:{tried}\n"
        f"Build it (cmake), install it, or set {LIBRARY_VARIABLE} to the library's path"
    ) from failures[-1]


def load():
    """The library with every prototype declared; loaded once."""
    global _loaded
    if _loaded is None:
        library = _first_loadable(candidates())
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(library, name)
            function.restype = restype
            function.argtypes = argtypes
        _loaded = library
    return _loaded
