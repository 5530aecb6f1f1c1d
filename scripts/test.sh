#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up a fresh Debian 12 machine and runs every check of the project:
# each script in scripts/checks, in the order of their names. The first that
# fails stops the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh

for check in scripts/checks/*.sh; do
  echo "== $(basename "$check")"
  start=$SECONDS
  "$check"
  echo "== $(basename "$check") passed in $((SECONDS - start)) s"
done
