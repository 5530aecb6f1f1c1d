#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up a fresh Debian 12 machine, builds the library and its tools, and
# shows a spectrum: kq7 against the built-in virtual sensor (--sim) searches
# the exposure for a peak at 90 % of full scale and writes spectrum.csv and
# spectrum.svg into the current folder, then streams three spectra into
# stream.csv.
set -euo pipefail
out="$PWD"
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root"/scripts/setup-debian.sh build tools
cmake -S "$root" -B "$root"/build/release -DCMAKE_BUILD_TYPE=Release -DKQ7_BUILD_TESTS=OFF
cmake --build "$root"/build/release -j"$(nproc)"

kq7="$root/build/release/tools/kq7"
cd "$out"
echo "== kq7 --sim info"
"$kq7" --sim info
echo "== kq7 --sim auto --percent 90 -o spectrum.csv --plot spectrum.svg"
"$kq7" --sim auto --percent 90 -o spectrum.csv --plot spectrum.svg
echo "== kq7 --sim capture --shutter 200 --dark (metadata, header and first rows)"
"$kq7" --sim capture --shutter 200 --dark | sed -n 1,15p
echo "== kq7 --sim stream --shutter 200 --count 3 --interval 0.5 -o stream.csv"
"$kq7" --sim stream --shutter 200 --count 3 --interval 0.5 -o stream.csv
echo "== wrote $out/spectrum.csv ($(grep -c '^[0-9]' spectrum.csv) bands), $out/spectrum.svg and $out/stream.csv"
