#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up a fresh Debian 12 machine, builds kq7 and serves the live view of
# the built-in virtual sensor at http://127.0.0.1:8477/ until Ctrl-C.
# Arguments go to kq7 serve, e.g. --listen 127.0.0.1:9000.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root"/scripts/setup-debian.sh build tools calibration serve
cmake -S "$root" -B "$root"/build/release -DCMAKE_BUILD_TYPE=Release -DKQ7_BUILD_TESTS=OFF >/dev/null
cmake --build "$root"/build/release --target kq7 -j"$(nproc)"
exec "$root"/build/release/tools/kq7 --sim serve "$@"
