#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the Windows builds under wine, for x86-64 and for 32-bit x86: every
# GoogleTest program of the build (its *_tests.exe), the C host with
# __stdcall callbacks (and, on 32-bit x86, the same host with __cdecl
# callbacks, which must fail), kq7.exe against the virtual sensor over a wine
# COM port, and the contents of the ZIP package. Prints "N passed, N failed"
# per architecture and fails when any part failed.
#
# 64-bit wine comes from the machine's own Debian packages. 32-bit wine runs
# from a private folder, never installed: its i386 packages are downloaded
# with apt into a folder of this run and unpacked there, and it runs under
# qemu's user-mode i386 emulator from Debian's next release (this release's
# qemu cannot host wine), also unpacked without installing and registered
# with binfmt_misc under a name of this run for the run's duration. That
# works whether or not the kernel runs 32-bit code itself (these machines'
# kernels do not), and leaves dpkg and its architectures as they were.
set -Eeuo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/kq7sim.sh
root_dir=$PWD

readonly ARCHES=(x86_64 i686)
readonly RUN_LIMIT=600        # seconds for one test program (32-bit runs emulated)
readonly SIM_PORT=com5        # the wine COM port that leads to the virtual sensor
readonly APT_TRIES=3

work=$(mktemp -d)
binfmt_dir=/proc/sys/fs/binfmt_misc
binfmt_name=kq7-wine-i386-$$
sim_pid=
declare -A prefix wine wineserver passed failed

# shellcheck disable=SC2317 # run by the trap
cleanup() {
  set +e
  trap - ERR
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  for arch in "${!prefix[@]}"; do
    WINEPREFIX=${prefix[$arch]} QEMU_LD_PREFIX=$work/i386-root timeout 30 "${wineserver[$arch]}" -k 2>/dev/null
  done
  [ -e "$binfmt_dir/$binfmt_name" ] && echo -1 >"$binfmt_dir/$binfmt_name"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
trap 'echo "55-windows-wine: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

say() { printf '== [%3d s] %s\n' "$SECONDS" "$*"; }

# Runs a step with its output kept aside, shown only when it fails.
quietly() {
  "$@" >"$work/step.log" 2>&1 || {
    local status=$?
    tail -30 "$work/step.log"
    return "$status"
  }
}

# apt-get update, tolerating a mirror that is mid-sync: a few tries, then on
# with the indexes that did arrive (the install says what is missing).
apt_update() {
  local try
  for ((try = 1; try <= APT_TRIES; try++)); do
    apt-get "$@" update -q >"$work/apt-update.log" 2>&1 && return 0
    sleep 5
  done
  echo "apt-get update kept failing; going on with the indexes that arrived:"
  grep -E '^(E|W):' "$work/apt-update.log" | head -5 || true
}

# dpkg may be busy with another install on the same machine.
apt_install() {
  local try
  for ((try = 1; try <= 10; try++)); do
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" >"$work/apt-install.log" 2>&1 &&
      return 0
    grep -q 'Could not get lock' "$work/apt-install.log" || break
    sleep 10
  done
  tail -20 "$work/apt-install.log"
  return 1
}

# ---- 64-bit wine ----
if ! command -v wine64 >/dev/null && [ ! -x /usr/lib/wine/wine64 ]; then
  say "installing wine"
  apt_update
  apt_install wine wine64
fi
prefix[x86_64]=$work/prefix-x86_64
wine[x86_64]=/usr/lib/wine/wine64
wineserver[x86_64]=/usr/lib/wine/wineserver64

# ---- 32-bit wine under qemu, or the reason why not ----
i686_unavailable=
# apt with every folder of its own under $work, for another architecture or
# release than the machine's.
private_apt() {
  local dir=$1
  shift
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
  touch "$dir/status"
  echo -o Dir::State::Lists="$dir/lists" -o Dir::State::status="$dir/status" -o Dir::Cache="$dir/cache" \
    -o Dir::Cache::archives="$dir/cache/archives" -o APT::Sandbox::User=root "$@"
}

# The machine's own entries for this release, turned to the next one (both
# source formats); the host names stay those of the machine.
next_release_sources() {
  local out=$1
  mkdir -p "$out/parts"
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Suites:([^\n]* )?bookworm( |\n|$)/ { sub(/Suites:[^\n]*/, "Suites: trixie"); print }' \
      "$file" >>"$out/parts/trixie.sources"
  done
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && $0 ~ / bookworm( |$)/ { sub(/ bookworm( |$)/, " trixie "); print }' >"$out/trixie.list"
  [ -s "$out/parts/trixie.sources" ] || [ -s "$out/trixie.list" ]
}

set_up_i686() {
  local apt_opts
  if [ ! -d "$binfmt_dir" ] || { [ ! -e "$binfmt_dir/register" ] &&
    ! mount -t binfmt_misc binfmt_misc "$binfmt_dir" 2>/dev/null; }; then
    i686_unavailable="binfmt_misc is not available, so no emulator can run 32-bit programs"
    return
  fi
  say "fetching 32-bit wine (i386 packages, unpacked into $work/i386-root)"
  # shellcheck disable=SC2207
  apt_opts=($(private_apt "$work/apt-i386" -o APT::Architecture=i386 -o APT::Architectures::=i386))
  apt_update "${apt_opts[@]}"
  # freetype only spares the log wine's complaint that fonts are missing.
  if ! apt-get "${apt_opts[@]}" install -y -q --download-only --no-install-recommends wine32 libfreetype6 \
    >"$work/apt-i386.log" 2>&1; then
    tail -5 "$work/apt-i386.log"
    i686_unavailable="the i386 packages of wine could not be downloaded"
    return
  fi
  for deb in "$work"/apt-i386/cache/archives/*.deb; do
    dpkg-deb -x "$deb" "$work/i386-root"
  done
  # What libwine's installation does: zlib1.dll from the MinGW zlib package,
  # marked as a wine builtin.
  local zlib=$work/i386-root/usr/i686-w64-mingw32/lib/zlib1.dll
  local builtin=$work/i386-root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
  { head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } >"$builtin"

  say "fetching qemu's i386 emulator from the next Debian release"
  if ! next_release_sources "$work/apt-trixie"; then
    i686_unavailable="no bookworm entry in the machine's apt sources to derive the next release's from"
    return
  fi
  # shellcheck disable=SC2207
  apt_opts=($(private_apt "$work/apt-trixie" -o Dir::Etc::SourceParts="$work/apt-trixie/parts" \
    -o Dir::Etc::SourceList="$work/apt-trixie/trixie.list"))
  apt_update "${apt_opts[@]}"
  if ! (cd "$work/apt-trixie" && apt-get "${apt_opts[@]}" download qemu-user >"$work/apt-qemu.log" 2>&1); then
    tail -5 "$work/apt-qemu.log"
    i686_unavailable="qemu-user could not be downloaded from the next release"
    return
  fi
  rm -rf "$work/apt-trixie/parts" "$work/apt-trixie/trixie.list"
  dpkg-deb --fsys-tarfile "$work"/apt-trixie/qemu-user_*.deb | tar -x -C "$work/apt-trixie" ./usr/bin/qemu-i386
  # 32-bit x86 ELF executables and shared objects (qemu's own magic and mask).
  # F: the emulator is opened now, so this entry works in every namespace.
  if ! printf '%s' ":$binfmt_name:M::"'\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$work/apt-trixie/usr/bin/qemu-i386:F" \
    >"$binfmt_dir/register"; then
    i686_unavailable="binfmt_misc refused to register the emulator"
    return
  fi
  prefix[i686]=$work/prefix-i686
  wine[i686]=$work/i386-root/usr/lib/wine/wine
  wineserver[i686]=$work/i386-root/usr/lib/wine/wineserver32
}
set_up_i686

# Runs a Windows program of `arch`, in `dir`, with a time limit.
run_wine() {
  local arch=$1 dir=$2
  shift 2
  (cd "$dir" && WINEPREFIX=${prefix[$arch]} WINEARCH=$([ "$arch" = i686 ] && echo win32 || echo win64) \
    WINESERVER=${wineserver[$arch]} QEMU_LD_PREFIX=$work/i386-root WINEDEBUG=-all \
    timeout "$RUN_LIMIT" "${wine[$arch]}" "$@")
}

note() { # arch outcome(0 passed) what
  if [ "$2" -eq 0 ]; then
    passed[$1]=$((passed[$1] + 1))
  else
    failed[$1]=$((failed[$1] + 1))
    echo "FAILED ($1): $3"
  fi
}

# Every GoogleTest program, run whole: its counts join the architecture's.
run_test_program() {
  local arch=$1 exe=$2 log status=0 ran_passed ran_failed
  log=$work/$(basename "$exe").$arch.log
  run_wine "$arch" "$(dirname "$exe")" "$(basename "$exe")" --gtest_brief=1 >"$log" 2>&1 || status=$?
  ran_passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log")
  ran_failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log")
  passed[$arch]=$((passed[$arch] + ${ran_passed:-0}))
  failed[$arch]=$((failed[$arch] + ${ran_failed:-0}))
  echo "$arch $(basename "$exe"): ${ran_passed:-0} passed, ${ran_failed:-0} failed"
  if [ "$status" -ne 0 ]; then
    grep '^\[  FAILED  \]' "$log" || tail -20 "$log"
    # A program that ended without its summary counts as one failure.
    [ -n "$ran_failed" ] || note "$arch" 1 "$(basename "$exe") ended with status $status"
  fi
}

# kq7.exe with COM5 led by wine to kq7sim's pseudo-terminal.
run_kq7_over_com_port() {
  local arch=$1 bin=$2 device
  start_kq7sim "$sim_build/tools/kq7sim" "$work" || true
  sim_pid=$kq7sim_pid
  device=$kq7sim_port
  ln -sfn "$device" "${prefix[$arch]}/dosdevices/$SIM_PORT"
  local status=0 rows
  run_wine "$arch" "$bin" kq7.exe --port "${SIM_PORT^^}" -q info >"$work/info.out" 2>"$work/info.err" || status=$?
  note "$arch" "$status" "kq7.exe --port ${SIM_PORT^^} info: $(cat "$work/info.err")"
  sed 's/^/  /' "$work/info.out"
  status=0
  rm -f "$bin/spectrum.csv"
  run_wine "$arch" "$bin" kq7.exe --port "${SIM_PORT^^}" -q capture --shutter 100 -o spectrum.csv \
    >"$work/capture.out" 2>"$work/capture.err" || status=$?
  # One row per band that info reported, below the '# key: value' lines and a header.
  rows=$({ grep -v '^#' "$bin/spectrum.csv" 2>/dev/null || true; } | wc -l)
  rows=$((rows > 0 ? rows - 1 : 0))
  grep -q "^bands: ${rows}[[:space:]]*$" "$work/info.out" || [ "$status" -ne 0 ] || status=1
  note "$arch" "$status" "kq7.exe capture -o: $rows rows: $(cat "$work/capture.err")"
  sed 's/^/  /' "$work/capture.out"
  echo "  spectrum.csv: $rows rows"
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=
}

# The ZIP holds the DLL, its import library and .def, the headers, kq7.exe,
# the README and the licence.
check_zip() {
  local arch=$1 build=$2 zip listing missing=
  if ! (cd "$build" && quietly cpack -G ZIP); then
    note "$arch" 1 "cpack"
    return
  fi
  zip=$(ls "$build"/nerb-kq7lib-*.zip)
  listing=$(cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | grep -v '/$' | sort)
  echo "$(basename "$zip"):"
  awk '{ print "  " $0 }' <<<"$listing"
  for file in bin/nerb_kq7lib.dll bin/kq7.exe lib/libnerb_kq7lib.dll.a lib/nerb_kq7lib.def \
    include/nerb_kq7lib.h include/nerb_kq7lib_version.h README.md LICENSE; do
    grep -qx "$file" <<<"$listing" || missing+=" $file"
  done
  note "$arch" "$([ -z "$missing" ] && echo 0 || echo 1)" "the ZIP lacks$missing"
}

# ---- builds ----
say "building kq7sim for this machine"
sim_build=build/wine-native
quietly cmake -S . -B "$sim_build" -DCMAKE_BUILD_TYPE=Release -DKQ7_BUILD_TESTS=OFF
quietly cmake --build "$sim_build" -j"$(nproc)" --target kq7sim

for arch in "${ARCHES[@]}"; do
  passed[$arch]=0
  failed[$arch]=0
  say "$arch: building GoogleTest and the project with mingw-w64"
  gtest=build/wine-gtest-$arch
  quietly cmake -S /usr/src/googletest -B "$gtest" --toolchain "$root_dir/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$root_dir/$gtest/prefix" -Wno-dev
  quietly cmake --build "$gtest" -j"$(nproc)"
  quietly cmake --install "$gtest"
  build=build/wine-$arch
  quietly cmake -S . -B "$build" --toolchain "cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release -DKQ7_WERROR=ON \
    -DGTest_DIR="$root_dir/$gtest/prefix/lib/cmake/GTest" -Wno-dev
  quietly cmake --build "$build" -j"$(nproc)"

  if [ "$arch" = i686 ] && [ -n "$i686_unavailable" ]; then
    continue
  fi
  say "$arch: a fresh wine prefix and a running wineserver"
  mkdir -p "${prefix[$arch]}"
  WINEPREFIX=${prefix[$arch]} QEMU_LD_PREFIX=$work/i386-root "${wineserver[$arch]}" -p >/dev/null 2>&1
  quietly run_wine "$arch" . wineboot --init

  say "$arch: the test programs"
  while IFS= read -r exe; do
    run_test_program "$arch" "$exe"
  done < <(find "$build" -name '*_tests.exe' | sort)

  say "$arch: the C host with __stdcall callbacks"
  status=0
  run_wine "$arch" "$build/tests/windows" kq7_stdcall_host.exe >/dev/null 2>"$work/host.err" || status=$?
  note "$arch" "$status" "the stdcall host"
  sed 's/^/  /' "$work/host.err"
  if [ -e "$build/tests/windows/kq7_cdecl_host.exe" ]; then
    status=0
    run_wine "$arch" "$build/tests/windows" kq7_cdecl_host.exe >/dev/null 2>"$work/cdecl.err" || status=$?
    note "$arch" "$([ "$status" -ne 0 ] && echo 0 || echo 1)" "the __cdecl host passed: the checks miss a mismatch"
    echo "  the same host with __cdecl callbacks: exit status $status (it must not pass)"
  fi

  say "$arch: kq7.exe over a wine COM port to kq7sim --pty"
  run_kq7_over_com_port "$arch" "$build/tools"

  say "$arch: the ZIP package"
  check_zip "$arch" "$build"
done

status=0
for arch in "${ARCHES[@]}"; do
  if [ "$arch" = i686 ] && [ -n "$i686_unavailable" ]; then
    echo "i686: NOT RUN: $i686_unavailable"
    echo "i686: 0 passed, 1 failed"
    status=1
    continue
  fi
  echo "$arch: ${passed[$arch]} passed, ${failed[$arch]} failed"
  [ "${failed[$arch]}" -eq 0 ] || status=1
done
exit "$status"
