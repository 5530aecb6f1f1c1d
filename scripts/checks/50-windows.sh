#!/usr/bin/env bash
# Cross-builds nerb_kq7lib.dll for x86-64 and 32-bit x86 with mingw-w64 and
# checks that each exports exactly the seven KQ7 functions under their plain
# names, needs no MinGW runtime DLL, and that a C client compiled with the
# public header links against its import library. Also checks that the
# public header compiles as C89, C11 and C++ with every compiler at hand.
set -euo pipefail
cd "$(dirname "$0")/../.."

expected=$(printf '%s\n' KQ7GetData KQ7Get_SensorInfo KQ7OptSnenser KQ7SensorInit \
  KQ7SetShutterOpen KQ7SetWeaveLenthCoeff KQ7Set_Serial_FUN | sort)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A host in C that calls every export.
cat >"$work/client.c" <<'C'
#include "nerb_kq7lib.h"
int main(void) {
    SensorInfoC info;
    double coeffs[4] = {0.0, 0.0, 1.0, 300.0};
    uint16_t samples[2048];
    KQ7Set_Serial_FUN(0, 0);
    info = KQ7Get_SensorInfo();
    KQ7SetShutterOpen(1);
    return KQ7SensorInit() + info.bandnumber + KQ7GetData(samples, 100) + KQ7OptSnenser(80) +
           KQ7SetWeaveLenthCoeff(coeffs, 4);
}
C

header_compiles() {
  local compiler=$1 std=$2
  shift 2
  echo '#include "nerb_kq7lib.h"' | "$compiler" -Iinclude -fsyntax-only -Wall -Wextra -pedantic-errors -Werror \
    "$std" "$@" -x "$( [[ $std == *++* ]] && echo c++ || echo c )" - \
    || { echo "the header does not compile with $compiler $std"; exit 1; }
}

for arch in x86_64 i686; do
  build=build/windows-$arch
  triplet=$arch-w64-mingw32
  cmake -S . -B "$build" --toolchain "cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DKQ7_WERROR=ON -DKQ7_BUILD_TESTS=OFF -DKQ7_BUILD_TOOLS=OFF -Wno-dev
  cmake --build "$build" -j"$(nproc)"
  dll=$build/src/nerb_kq7lib.dll

  table=$("$triplet-objdump" -p "$dll")
  exports=$(echo "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $NF}' | sort)
  if [ "$exports" != "$expected" ]; then
    printf '%s: unexpected export table:\n%s\n' "$dll" "$exports"
    exit 1
  fi
  echo "$dll exports: $(echo "$exports" | tr '\n' ' ')"

  imports=$(echo "$table" | sed -n 's/^\tDLL Name: //p' | sort | tr '\n' ' ')
  if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
    echo "$dll depends on other DLLs: $imports"
    exit 1
  fi

  "$triplet-gcc-posix" -std=c89 -Iinclude "$work/client.c" "$build/src/libnerb_kq7lib.dll.a" -o "$work/client-$arch.exe"
  for std in -std=c89 -std=c11; do
    header_compiles "$triplet-gcc-posix" "$std"
  done
  header_compiles "$triplet-g++-posix" -std=c++17
done

header_compiles gcc -std=c89
header_compiles gcc -std=c11
header_compiles g++ -std=c++98
header_compiles g++ -std=c++17
echo "the header compiles as C89, C11 and C++ with gcc, g++ and both cross compilers"
