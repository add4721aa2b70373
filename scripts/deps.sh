#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian 12 packages that building, testing and packaging ptcdrop need.
# Does nothing when they are all present; apt-get update runs only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libxcb1-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  zlib1g-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  xvfb xauth xdotool x11-utils
  desktop-file-utils appstream shared-mime-info dpkg-dev librsvg2-bin man-db file
  gzip coreutils
  pigz strace time
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "ptcdrop: missing packages: ${missing[*]} (run as root or install them with sudo)" >&2
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
