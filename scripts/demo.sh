#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up a fresh Debian 12 machine, builds the library and its tools, and
# shows a spectrum: kq7 against the built-in virtual sensor searches the
# exposure for a peak at 90 % of full scale and writes spectrum.csv and
# spectrum.svg into the current folder.
set -euo pipefail
out="$PWD"
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root"/scripts/setup-debian.sh build tools
cmake -S "$root" -B "$root"/build/release -DCMAKE_BUILD_TYPE=Release -DKQ7_BUILD_TESTS=OFF
cmake --build "$root"/build/release -j"$(nproc)"

kq7="$root/build/release/tools/kq7"
cd "$out"
echo "== kq7 info"
"$kq7" -q info
echo "== kq7 auto --percent 90 -o spectrum.csv --plot spectrum.svg"
"$kq7" -q auto --percent 90 -o spectrum.csv --plot spectrum.svg
echo "== kq7 capture --shutter 200 --dark (first rows)"
"$kq7" -q capture --shutter 200 --dark | sed -n 1,4p
echo "== wrote $out/spectrum.csv ($(($(wc -l < spectrum.csv) - 1)) bands) and $out/spectrum.svg"
