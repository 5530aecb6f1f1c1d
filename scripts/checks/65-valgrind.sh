#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the kq7 tool against the in-process virtual sensor under valgrind's
# memcheck: identification, a capture, an automatic exposure and a stream must show no
# memory error and leak nothing.
set -euo pipefail
cd "$(dirname "$0")/../.."

kq7=build/ci/tools/kq7

memcheck() {
  echo "valgrind kq7 $*"
  valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect "$kq7" --sim "$@" >/dev/null
}

memcheck info
memcheck capture --shutter 100
memcheck auto --percent 80
memcheck stream --shutter 100 --count 2 -o /dev/null
