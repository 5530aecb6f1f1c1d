#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python package kq7 against the build made by 10-build.sh: its pytest
# suite drives build/ci's library and kq7sim. Then the package is pip-installed
# offline into a folder and used as an installed package: beside an install
# tree of the library, found through the loader and PATH, with no variable
# naming them.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="$PWD/build/ci"

# Any non-zero status fails the check, including pytest's 5 for "no tests ran".
# The package finds build/ci's library and kq7sim itself.
(cd python && /usr/bin/python3 -m pytest -q -p no:cacheprovider)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
library_dir=$(dirname "$(find "$scratch/prefix" -name 'libnerb_kq7lib.so.1' -print -quit)")
cp -r python "$scratch/source"
/usr/bin/python3 -m pip install --quiet --no-build-isolation --no-deps --no-index \
  --root-user-action=ignore \
  --target "$scratch/site" "$scratch/source"
(cd "$scratch" && env -u NERB_KQ7LIB -u KQ7SIM \
  PYTHONPATH="$scratch/site" LD_LIBRARY_PATH="$library_dir" PATH="$scratch/prefix/bin:$PATH" \
  timeout 60 /usr/bin/python3 -c '
import kq7
with kq7.Spectrometer() as sensor:
    print("pip-installed", kq7.__file__, sensor.info)')
