#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python package kq7 against the build made by 10-build.sh: its pytest
# suite drives build/ci's library and kq7sim; then pip installs the package
# offline, from a copy so that the tree stays clean.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="$PWD/build/ci"
export NERB_KQ7LIB="$build/src/libnerb_kq7lib.so"
export KQ7SIM="$build/tools/kq7sim"

# Any non-zero status fails the check, including pytest's 5 for "no tests ran".
(cd python && /usr/bin/python3 -m pytest -q -p no:cacheprovider)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -r python "$scratch/source"
/usr/bin/python3 -m pip install --quiet --no-build-isolation --no-deps --no-index \
  --root-user-action=ignore \
  --target "$scratch/site" "$scratch/source"
(cd "$scratch" && PYTHONPATH="$scratch/site" /usr/bin/python3 -c '
import kq7
with kq7.Spectrometer() as sensor:
    print("pip-installed", kq7.__file__, sensor.info)')
