#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the library and its tools.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j"$(nproc)"
