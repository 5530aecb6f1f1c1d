#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The C# binding under mono, against the build made by 10-build.sh: compiles
# the binding, its sample (examples/dotnet) and its check program with warnings as errors, then
# runs the check against the emulated sensor in process and against
# kq7sim --pty through System.IO.Ports.SerialPort, and the sample against
# kq7sim. The library is offered only as libnerb_kq7lib.so.1, as the runtime
# package installs it.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/kq7sim.sh

# mcs, the runtime, and System.dll (SerialPort) with libMonoPosixHelper.
packages=(mono-mcs mono-runtime libmono-system4.0-cil)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

build="$PWD/build/ci"
out=build/dotnet
mkdir -p "$out"
mcs -unsafe -warnaserror -target:library -out:"$out/Nerb.Kq7.dll" bindings/dotnet/*.cs
mcs -warnaserror -r:System.dll -r:"$out/Nerb.Kq7.dll" -out:"$out/SerialSample.exe" \
  examples/dotnet/*.cs
mcs -warnaserror -r:System.dll -r:System.Core.dll -r:"$out/Nerb.Kq7.dll" -out:"$out/BindingCheck.exe" \
  bindings/dotnet/check/*.cs
cc -shared -fPIC -Wall -Wextra -Werror -o "$out/pty_modem_lines.so" bindings/dotnet/check/pty_modem_lines.c -ldl

scratch=$(mktemp -d)
sim=
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
cp -L "$build/src/libnerb_kq7lib.so.1" "$scratch/"
# Found by name only: no explicit path.
unset NERB_KQ7LIB
export LD_LIBRARY_PATH="$scratch"
export MONO_ENV_OPTIONS=--debug

start_kq7sim "$build/tools/kq7sim" "$scratch"
sim=$kq7sim_pid
port=$kq7sim_port

LD_PRELOAD="$PWD/$out/pty_modem_lines.so" timeout 60 mono "$out/SerialSample.exe" "$port" | tee "$scratch/sample.out"
grep -q '^KQ7 SIM00042: 512 bands, ' "$scratch/sample.out"
LD_PRELOAD="$PWD/$out/pty_modem_lines.so" timeout 120 mono "$out/BindingCheck.exe" "$port"
