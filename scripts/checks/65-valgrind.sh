#!/usr/bin/env bash
# Runs the kq7 tool against the in-process virtual sensor under valgrind's
# memcheck: identification, a capture and an automatic exposure must show no
# memory error and leak nothing.
set -euo pipefail
cd "$(dirname "$0")/../.."

kq7=build/ci/tools/kq7
if [ ! -x "$kq7" ]; then
  echo "SKIPPED: $kq7 has not been built (the kq7 tool is not in this tree yet)"
  exit 0
fi

memcheck() {
  echo "valgrind kq7 $*"
  valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect "$kq7" -q "$@" >/dev/null
}

memcheck info
memcheck capture --shutter 100
memcheck auto --percent 80
