#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The unit tests of the build made by 10-build.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
ctest --test-dir build/ci --output-on-failure -j"$(nproc)"
