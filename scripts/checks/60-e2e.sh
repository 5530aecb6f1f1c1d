#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kq7 against kq7sim over a real pseudo-terminal, with the binaries of the
# build made by 10-build.sh. Any pytest failure fails the check, also "no
# tests collected" (exit status 5).
set -euo pipefail
cd "$(dirname "$0")/../.."

# The package kq7 finds the programs in build/ci.
exec /usr/bin/python3 -m pytest -q -p no:cacheprovider tools/tests/e2e
