#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything with warnings as errors and checks that the shared
# library exports the seven KQ7 functions and the kq7_ device interface,
# and nothing else.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/ci
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKQ7_WERROR=ON
cmake --build "$build" -j"$(nproc)"

exports=$(nm -D --defined-only "$build"/src/libnerb_kq7lib.so | awk '{print $3}' | sort)
expected=$(printf '%s\n' KQ7GetData KQ7Get_SensorInfo KQ7OptSnenser KQ7SensorInit \
  KQ7SetShutterOpen KQ7SetWeaveLenthCoeff KQ7Set_Serial_FUN \
  kq7_open kq7_close kq7_identify kq7_get_info kq7_set_shutter_open kq7_capture \
  kq7_auto_exposure kq7_write_coefficients kq7_cancel kq7_set_log kq7_strerror kq7_version kq7_wavelength kq7_wavelengths kq7_set_timeout kq7_last_error_message kq7_version_number | sort)
if [ "$exports" != "$expected" ]; then
  printf 'unexpected dynamic symbols:\n%s\n' "$exports"
  exit 1
fi
echo "exports: $(echo "$exports" | tr '\n' ' ')"
