#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every check of the project.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh

build=build/ci
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKQ7_WERROR=ON
cmake --build "$build" -j"$(nproc)"

# Only the KQ7 functions may be exported.
exports=$(nm -D --defined-only "$build"/src/libnerb_kq7lib.so | awk '{print $3}' | sort)
expected=$(printf '%s\n' KQ7GetData KQ7Get_SensorInfo KQ7OptSnenser KQ7SensorInit KQ7SetShutterOpen KQ7SetWeaveLenthCoeff KQ7Set_Serial_FUN | sort)
if [ "$exports" != "$expected" ]; then
  echo "unexpected dynamic symbols:"; echo "$exports"; exit 1
fi

ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
