#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs from Debian's packages whatever a fresh Debian 12 machine lacks to
# build and check the project: every package named in
# scripts/debian-packages/*.txt, or only in the lists named as arguments
# (e.g. "build tools"). Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")"

lists=(debian-packages/*.txt)
if [ $# -gt 0 ]; then
  lists=()
  for area in "$@"; do lists+=("debian-packages/$area.txt"); done
fi
mapfile -t packages < <(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
