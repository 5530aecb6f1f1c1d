# SPDX-License-Identifier: MIT
"""Where the files of the surrounding source tree would be: the shared library
and the programs kq7sim and kq7 in the build trees of the checkout this package
was loaded from (only when it is loaded from a checkout), or named by an
environment variable. The one place that finds the built binaries, for the
package and for the project's tests.
"""
import os
import shutil
from pathlib import Path
from typing import List, Optional

# kq7/_locate.py -> kq7 -> python -> repository root.
_REPOSITORY = Path(__file__).resolve().parents[2]
_BUILD_TREES = ("build/ci", "build/release")


def repository_root() -> Optional[Path]:
    """The checkout this package lives in, or None when it is installed."""
    if (_REPOSITORY / "include" / "nerb_kq7lib.h").is_file():
        return _REPOSITORY
    return None


def from_environment(variable: str) -> Optional[Path]:
    value = os.environ.get(variable)
    return Path(value) if value else None


def in_build_trees(*relative_paths: str) -> List[Path]:
    """Each relative path under build/ci and build/release of the checkout,
    existing or not, in that order; none when the package is installed."""
    root = repository_root()
    if root is None:
        return []
    return [root / tree / relative for tree in _BUILD_TREES for relative in relative_paths]


def program(name: str, variable: str) -> str:
    """The program NAME of tools/: $VARIABLE alone when set; else the build
    trees of this checkout, then NAME on PATH. FileNotFoundError names what
    was tried."""
    explicit = from_environment(variable)
    if explicit is not None:
        return str(explicit)
    built = in_build_trees("tools/" + name)
    for candidate in built:
        if candidate.is_file():
            return str(candidate)
    found = shutil.which(name)
    if found is None:
        tried = ", ".join([str(path) for path in built] + [f"{name} on PATH"])
        raise FileNotFoundError(f"{name} not found; tried {tried}")
    return found
