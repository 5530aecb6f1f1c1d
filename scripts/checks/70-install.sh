#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the library into a scratch prefix and builds the Debian packages,
# then proves both usable from outside the project: a small C program
# (examples/consumer) is built with CMake's find_package and with pkg-config and
# run against a silent link. The packages' contents and dependencies are
# checked after unpacking them with dpkg-deb, and lintian must find no error
# and no warning in them.
set -euo pipefail
cd "$(dirname "$0")/../.."

source_dir=$(pwd -P)
build=build/install-check
build_dir=$source_dir/$build
stage=$build_dir/stage
debs=$build_dir/debs
debroot=$build_dir/debroot
version=$(sed -n 's/^project(nerb_kq7lib VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
major=${version%%.*}

fail() { echo "70-install: $*" >&2; exit 1; }

rm -rf "$stage" "$debs" "$debroot" "$build_dir"/consumer-*
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKQ7_BUILD_TESTS=OFF -DKQ7_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
cmake --install "$build" --prefix "$stage" >/dev/null
libdir=$(cd "$stage" && dirname "$(find lib* -name 'libnerb_kq7lib.so.*.*' | head -n1)")

# Runs a consumer build: its first line is the header's version, its last
# "consumer: ok". A silent link costs one identification limit (5 s).
run_consumer() {
  local program=$1 lib_dir=$2 output
  output=$(LD_LIBRARY_PATH="$lib_dir" timeout 30 "$program") || fail "$program failed: $output"
  [ "$(head -n1 <<<"$output")" = "nerb_kq7lib $version" ] || fail "$program: wrong version: $output"
  [ "$(tail -n1 <<<"$output")" = "consumer: ok" ] || fail "$program: $output"
}

# (1) CMake: find_package against the install tree, at the same major
# version; a higher major version must be refused.
cmake_consumer() {
  local prefix=$1 dir=$2
  cmake -S examples/consumer -B "$dir" -DCMAKE_PREFIX_PATH="$prefix" \
    -DKQ7_REQUIRED_VERSION="$major.0" >/dev/null
  cmake --build "$dir" >/dev/null
}
cmake_consumer "$stage" "$build_dir/consumer-cmake"
run_consumer "$build_dir/consumer-cmake/kq7_consumer" "$stage/$libdir"
if cmake -S examples/consumer -B "$build_dir/consumer-next-major" -DCMAKE_PREFIX_PATH="$stage" \
  -DKQ7_REQUIRED_VERSION="$((major + 1)).0" >/dev/null 2>&1; then
  fail "find_package accepted major version $((major + 1))"
fi

# (2) pkg-config against the install tree.
pkg_consumer() {
  local pc_dir=$1 out=$2 flags
  flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs nerb_kq7lib)
  [ "$(PKG_CONFIG_PATH="$pc_dir" pkg-config --modversion nerb_kq7lib)" = "$version" ] ||
    fail "pkg-config reports another version"
  mkdir -p "$(dirname "$out")"
  # shellcheck disable=SC2086  # the flags are separate words
  cc -std=c89 -Wall -Wextra -pedantic -Werror examples/consumer/consumer.c $flags -o "$out"
}
pkg_consumer "$stage/$libdir/pkgconfig" "$build_dir/consumer-pkgconfig/kq7_consumer"
run_consumer "$build_dir/consumer-pkgconfig/kq7_consumer" "$stage/$libdir"
echo "install tree: consumers built with CMake and pkg-config ran"

# Debian packages, unpacked into a scratch root.
cpack --config "$build/CPackConfig.cmake" -B "$debs" >"$build_dir/cpack.log" 2>&1 ||
  { cat "$build_dir/cpack.log"; fail "cpack failed"; }
rm -rf "$debs/_CPack_Packages"
mkdir -p "$debroot"
declare -A listing depends
for deb in "$debs"/*.deb; do
  name=$(dpkg-deb -f "$deb" Package)
  listing[$name]=$(dpkg-deb -c "$deb" | awk '{print $6 ($7 == "->" ? " -> " $8 : "")}' | grep -v '/$' | sort)
  depends[$name]=$(dpkg-deb -f "$deb" Depends)
  dpkg-deb -x "$deb" "$debroot"
  printf 'package %s (Depends: %s)\n%s\n' "$name" "${depends[$name]}" "${listing[$name]}"
done

runtime=libnerb-kq7lib$major
for name in "$runtime" libnerb-kq7lib-dev nerb-kq7lib-tools python3-kq7; do
  [ -n "${listing[$name]+set}" ] || fail "package $name was not built"
done

# lintian, Debian's own package checker: a warning that does not apply is
# overridden, with its reason, in packaging/debian/lintian-overrides.
lintian --display-info --fail-on error,warning "$debs"/*.deb >"$build_dir/lintian.log" 2>&1 ||
  { cat "$build_dir/lintian.log"; fail "lintian found errors or warnings"; }
sed '/^running with root privileges/d' "$build_dir/lintian.log"
echo "lintian: no error, no warning"

# The SONAME link only in the runtime package, the unversioned link only in
# the development package.
soname=$(readelf -d "$debroot/usr/$libdir/libnerb_kq7lib.so.$version" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
[ "$soname" = "libnerb_kq7lib.so.$major" ] || fail "SONAME is '$soname'"
grep -qx "./usr/$libdir/$soname -> libnerb_kq7lib.so.$version" <<<"${listing[$runtime]}" ||
  fail "$runtime lacks the SONAME link"
for name in "${!listing[@]}"; do
  if grep -q "/libnerb_kq7lib\.so -> " <<<"${listing[$name]}" && [ "$name" != libnerb-kq7lib-dev ]; then
    fail "$name carries the unversioned .so link"
  fi
done
grep -q "/libnerb_kq7lib\.so -> $soname" <<<"${listing[libnerb-kq7lib-dev]}" ||
  fail "libnerb-kq7lib-dev lacks the .so link"
for name in "${!listing[@]}"; do
  [ "$name" = libnerb-kq7lib-dev ] && continue
  if grep -qE '\.(h|cmake|pc)$' <<<"${listing[$name]}"; then
    fail "$name carries development files"
  fi
done

# Dependencies: system libraries found by dpkg-shlibdeps; the development
# package on the runtime of its exact version; any program or library that
# loads libnerb_kq7lib on the runtime package.
grep -q 'libc6' <<<"${depends[$runtime]}" || fail "$runtime does not depend on libc6"
grep -q "$runtime (= $version-" <<<"${depends[libnerb-kq7lib-dev]}" ||
  fail "libnerb-kq7lib-dev does not depend on $runtime of its own version"
for needed in "$runtime (= $version-" python3-numpy python3-serial; do
  grep -qF "$needed" <<<"${depends[python3-kq7]}" || fail "python3-kq7 does not depend on $needed"
done
for name in "${!listing[@]}"; do
  [ "$name" = "$runtime" ] && continue
  while read -r file; do
    [ -f "$debroot/$file" ] && [ ! -L "$debroot/$file" ] || continue
    if readelf -d "$debroot/$file" 2>/dev/null | grep -q "NEEDED.*\[$soname\]" &&
      ! grep -q "$runtime (" <<<"${depends[$name]}"; then
      fail "$file in $name needs $soname, but $name does not depend on $runtime"
    fi
  done <<<"${listing[$name]}"
done

# No path of this machine's source or build tree in any installed text file.
for tree in "$stage" "$debroot"; do
  if grep -rIl -e "$source_dir" "$tree"; then
    fail "build paths in the installed files above"
  fi
done

# The unpacked packages alone (runtime + development) serve a consumer.
cmake_consumer "$debroot/usr" "$build_dir/consumer-deb"
run_consumer "$build_dir/consumer-deb/kq7_consumer" "$debroot/usr/$libdir"
# The packaged tools run on their own: kq7 against its built-in virtual sensor.
timeout 30 "$debroot/usr/bin/kq7" --sim info | grep -q '^bands: ' || fail "packaged kq7 info failed"
timeout 30 "$debroot/usr/bin/kq7sim" --help >/dev/null || fail "packaged kq7sim does not start"
# The packaged Python package, on the packaged library, finds the packaged
# virtual sensor; installed, Debian's python3 finds both without a variable.
grep -qx "./usr/lib/python3/dist-packages/kq7/__init__.py" <<<"${listing[python3-kq7]}" ||
  fail "python3-kq7 lacks the package kq7"
"$debroot/usr/bin/kq7sim" --pty --seed 3 >"$build_dir/python-sim.out" 2>/dev/null &
sim=$!
for _ in $(seq 50); do [ -s "$build_dir/python-sim.out" ] && break; sleep 0.1; done
serial=$(PYTHONPATH="$debroot/usr/lib/python3/dist-packages" NERB_KQ7LIB="$debroot/usr/$libdir/$soname" \
  timeout 30 /usr/bin/python3 -c 'import kq7, sys; print(kq7.list_sensors(sys.argv[1:])[0].info.serial)' \
  "$(head -n1 "$build_dir/python-sim.out")") || true
kill "$sim"
[ "$serial" = SIM00003 ] || fail "the packaged kq7.list_sensors() did not find the packaged kq7sim: '$serial'"
echo "Debian packages: contents checked, consumer built against them ran, tools and Python package ran"
