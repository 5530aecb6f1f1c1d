# SPDX-License-Identifier: MIT
"""The shared library nerb_kq7lib through ctypes: where it is, and the exact
prototypes of its seven exports and two host functions."""
import ctypes
import ctypes.util
import sys

from . import _locate

LIBRARY_VARIABLE = "NERB_KQ7LIB"

if sys.platform == "win32":
    # Every export and host function is __stdcall on Windows.
    _Loader = ctypes.WinDLL
    _FUNCTYPE = ctypes.WINFUNCTYPE
    _FILE_NAME = "nerb_kq7lib.dll"
    _BUILD_PATHS = ("src/" + _FILE_NAME, "src/Release/" + _FILE_NAME, "src/RelWithDebInfo/" + _FILE_NAME)
    _INSTALLED_NAME = _FILE_NAME
else:
    _Loader = ctypes.CDLL
    _FUNCTYPE = ctypes.CFUNCTYPE
    _FILE_NAME = "libnerb_kq7lib.dylib" if sys.platform == "darwin" else "libnerb_kq7lib.so"
    _BUILD_PATHS = ("src/" + _FILE_NAME,)
    _INSTALLED_NAME = "libnerb_kq7lib.1.dylib" if sys.platform == "darwin" else "libnerb_kq7lib.so.1"

# int64_t write(const uint8_t *data, int64_t length)
SerialWriteFn = _FUNCTYPE(ctypes.c_int64, ctypes.POINTER(ctypes.c_uint8), ctypes.c_int64)
# int64_t read(uint8_t *dest, int64_t maxLength)
SerialReadFn = _FUNCTYPE(ctypes.c_int64, ctypes.POINTER(ctypes.c_uint8), ctypes.c_int64)


class SensorInfoC(ctypes.Structure):
    """The 228-byte identification record, returned by value."""

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

_PROTOTYPES = {
    "KQ7Set_Serial_FUN": (None, [SerialWriteFn, SerialReadFn]),
    "KQ7SensorInit": (ctypes.c_int, []),
    "KQ7Get_SensorInfo": (SensorInfoC, []),
    "KQ7SetShutterOpen": (None, [ctypes.c_int]),
    "KQ7GetData": (ctypes.c_int, [ctypes.POINTER(ctypes.c_uint16), ctypes.c_int]),
    "KQ7OptSnenser": (ctypes.c_int, [ctypes.c_int]),
    "KQ7SetWeaveLenthCoeff": (ctypes.c_int, [ctypes.POINTER(ctypes.c_double), ctypes.c_int]),
}

_loaded = None


def library_path() -> str:
    """Where the library is taken from: $NERB_KQ7LIB, the build tree of this
    checkout, else the name that the system's loader resolves."""
    explicit = _locate.from_environment(LIBRARY_VARIABLE)
    if explicit is not None:
        return str(explicit)
    built = _locate.in_build_trees(*_BUILD_PATHS)
    if built is not None:
        return str(built)
    return ctypes.util.find_library("nerb_kq7lib") or _INSTALLED_NAME


def load():
    """The library with every export's prototype declared; loaded once."""
    global _loaded
    if _loaded is None:
        path = library_path()
        try:
            library = _Loader(path)
        except OSError as error:
            raise OSError(
                f"cannot load nerb_kq7lib from {path!r} ({error}); "
                f"build it or set {LIBRARY_VARIABLE} to the library's path"
            ) from error
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(library, name)
            function.restype = restype
            function.argtypes = argtypes
        _loaded = library
    return _loaded
