#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# kq7 serve, with the binaries of the build made by 10-build.sh: its HTTP
# level (refusals, event stream, a silent sensor, Ctrl-C) and its page in
# headless Chromium. Installs the browser, its driver and Selenium from
# Debian's packages first. The page's screenshot goes to build/ci/serve.png
# (docs/serve.png is a copy of it).
set -euo pipefail
cd "$(dirname "$0")/../.."

packages=(chromium chromium-driver python3-selenium python3-pytest python3-pytest-timeout)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  # Another installation may hold the lock for a while.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

# The package kq7 finds the programs in build/ci.
export KQ7_SCREENSHOT="$PWD/build/ci/serve.png"
# Any failure fails the check, also "no tests collected" (exit status 5).
exec /usr/bin/python3 -m pytest -q -p no:cacheprovider --timeout=120 tools/tests/serve
