# SPDX-License-Identifier: MIT
"""Finds files of the surrounding source tree: the shared library and kq7sim.

An environment variable wins; then the build trees of the repository this
package was loaded from (only when it is loaded from a checkout); then the
system's own search.
"""
import os
from pathlib import Path
from typing import Optional

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


def in_build_trees(*relative_paths: str) -> Optional[Path]:
    """The first existing file among build/ci and build/release of the checkout."""
    root = repository_root()
    if root is None:
        return None
    for tree in _BUILD_TREES:
        for relative in relative_paths:
            candidate = root / tree / relative
            if candidate.is_file():
                return candidate
    return None
