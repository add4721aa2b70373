#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI's package check: lintian and the copyright parser on the .deb, then the .deb installed
# with apt into a fresh Debian 12 system (a chroot that mmdebstrap builds and throws away),
# where a desktop's view of it is checked: the .ptc file type and the program that opens it,
# the menu entry, the metainfo, the licence, and the installed programs.
# Needs root and Debian's package servers. On this machine it installs only its own tools
# (lintian, mmdebstrap, python3-debian); ptcdrop itself is never installed here.
#   .ci/check-package.sh [DEB]    default: the one in build/package (cpack'd if missing)
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "check-package: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (it builds a chroot)"

tools=(lintian mmdebstrap python3-debian)
missing=()
for tool in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$tool" 2>/dev/null | grep -q 'install ok installed' || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "-- installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

deb=${1:-}
if [ -z "$deb" ]; then
  shopt -s nullglob
  debs=(build/package/ptcdrop_*.deb)
  if [ ${#debs[@]} -eq 0 ]; then
    [ -f build/default/CPackConfig.cmake ] || fail "no .deb and no build/default to make one from"
    cpack --config build/default/CPackConfig.cmake -B build/package >/dev/null
    debs=(build/package/ptcdrop_*.deb)
  fi
  [ ${#debs[@]} -eq 1 ] || fail "expected one ptcdrop_*.deb in build/package"
  deb=${debs[0]}
fi
deb=$(realpath "$deb")
version=$(dpkg-deb -f "$deb" Version)
echo "== package check of $(basename "$deb")"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "-- lintian"
# Info tags are shown but do not fail the check; errors and warnings do.
status=0
lintian --info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ $status -eq 0 ] || fail "lintian reports errors or warnings"

echo "-- the copyright file"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/ptcdrop/copyright >"$work/copyright" ||
  fail "the package has no /usr/share/doc/ptcdrop/copyright"
/usr/bin/python3 - "$work/copyright" <<'EOF'
# Parses the file as Debian's machine-readable copyright format, strictly, and checks what
# it says about ptcdrop and the libraries it links.
import sys
from debian import copyright

with open(sys.argv[1], encoding="utf-8") as f:
    parsed = copyright.Copyright(f, strict=True)
own = parsed.find_files_paragraph("usr/bin/ptcdrop")
assert own is not None and own.license.synopsis == "MIT", "ptcdrop is not licensed as MIT"
assert "Permission is hereby granted" in own.license.text, "the MIT licence text is missing"
comment = parsed.header.comment or ""
assert "Qt 6" in comment and "LGPL-3.0" in comment, "Qt under LGPL-3.0 is not named"
assert "zlib" in comment and "Zlib" in comment, "zlib under Zlib is not named"
print("   machine-readable; ptcdrop MIT; Qt LGPL-3.0 and zlib Zlib named")
EOF

# What runs inside the fresh system, as a user's desktop would see the installed package:
# a clean environment, no display, root's own empty home.
cat >"$work/inside.sh" <<'EOF'
set -euo pipefail
version=$1
fail() { echo "check-package (in the fresh system): $*" >&2; exit 1; }
installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii'; }

installed qt6-wayland || fail "installing ptcdrop did not bring in qt6-wayland"
[ -f /usr/share/doc/ptcdrop/copyright ] || fail "the copyright file is not installed"
[ "$(ptcdrop-cli --version)" = "ptcdrop-cli $version" ] || fail "ptcdrop-cli --version is not $version"
echo "   ptcdrop-cli --version: $(ptcdrop-cli --version)"
man -w ptcdrop >/dev/null && man -w ptcdrop-cli >/dev/null || fail "man does not find both pages"

desktop-file-validate /usr/share/applications/ptcdrop.desktop || fail "desktop-file-validate"
appstreamcli validate --explain --no-net /usr/share/metainfo/io.github.ptcdrop.ptcdrop.metainfo.xml \
  >/tmp/appstream.log 2>&1 || { cat /tmp/appstream.log; fail "appstreamcli validate"; }
cat /tmp/appstream.log
! grep -E '^[EW]: ' /tmp/appstream.log || fail "the metainfo has errors or warnings"

mkdir /tmp/files
cd /tmp/files
printf 'fresh system\n' >notes.txt
ptcdrop-cli notes.txt
cp NOTES.ptc lower.ptc
cp NOTES.ptc SHOUT.PTC
cp NOTES.ptc no-extension
# query_type <file> <expected>: what a file manager would call the file.
query_type() {
  local type
  type=$(xdg-mime query filetype "$1")
  echo "   xdg-mime query filetype $1: $type"
  [ "$type" = "$2" ] || fail "$1 is $type, not $2"
}
query_type NOTES.ptc application/x-ptc
query_type SHOUT.PTC application/x-ptc
query_type no-extension application/x-ptc
default=$(xdg-mime query default application/x-ptc)
echo "   xdg-mime query default application/x-ptc: $default"
[ "$default" = ptcdrop.desktop ] || fail "ptcdrop.desktop does not open .ptc files"

# The window opens files given to it as the menu entry's Exec does, converts them as one
# drop and stays open until the timeout ends it.
version_line=$(timeout 10 ptcdrop --version) || fail "ptcdrop --version failed"
case "$version_line" in *"$version"*) ;; *) fail "ptcdrop --version printed '$version_line'" ;; esac
echo "   ptcdrop --version: $version_line"
# The output is named after the container's name field, NOTES.
rm -f NOTES.dat
status=0
QT_QPA_PLATFORM=offscreen timeout 5 ptcdrop "$PWD/lower.ptc" >/tmp/window.log 2>&1 || status=$?
[ $status -eq 124 ] || { cat /tmp/window.log; fail "ptcdrop FILE exited with status $status"; }
[ "$(stat -c %s NOTES.dat 2>/dev/null)" = 49152 ] ||
  { cat /tmp/window.log; fail "ptcdrop FILE did not unpack lower.ptc"; }
echo "   ptcdrop lower.ptc: NOTES.dat beside it, the window still open"

# Removing the package takes the file type and the menu entry's claim away again.
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q ptcdrop >/dev/null
type=$(xdg-mime query filetype NOTES.ptc)
[ "$type" != application/x-ptc ] || fail "the file type outlived the package"
echo "   after apt-get purge ptcdrop: NOTES.ptc is $type"
echo "   fresh system check passed"
EOF

echo "-- a fresh Debian 12 system: apt-get install ./$(basename "$deb"), then the checks"
# The desktop tools a user has (desktop-file-utils and shared-mime-info bring the dpkg
# triggers that update the databases) come first; the package then comes as a user installs
# it, with apt and its recommended packages. The system is thrown away at the end.
mmdebstrap --variant=apt \
  --include=xdg-utils,libfile-mimeinfo-perl,desktop-file-utils,shared-mime-info,appstream,man-db \
  --customize-hook="copy-in $deb $work/inside.sh /tmp" \
  --customize-hook="chroot \"\$1\" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o APT::Install-Recommends=true /tmp/$(basename "$deb") >/dev/null" \
  --customize-hook="chroot \"\$1\" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 bash /tmp/inside.sh $version" \
  bookworm /dev/null || fail "the fresh system check failed"
echo "-- package check passed"
