#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb from build/default and checks what it ships in a throwaway root (the
# package unpacked into a temporary folder): the desktop entry, the metainfo, the file type,
# the icons, the man pages, the licence and changelog, and the packaged programs themselves.
# Installs nothing and needs no root: .ci/check-package.sh installs the package with apt into
# a fresh system. Run from the repository root after build/default is built.
# PTCDROP_BUILD_DIR and PTCDROP_PACKAGE_DIR choose other build and output folders.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${PTCDROP_BUILD_DIR:-build/default}
out=${PTCDROP_PACKAGE_DIR:-build/package}
[ -f "$build/CPackConfig.cmake" ] || { echo "package.sh: configure and build $build first" >&2; exit 1; }

fail() { echo "package.sh: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "-- building the package"
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$work/cpack.log" ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$out"/ptcdrop_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one ptcdrop_*.deb in $out"
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' ||
  fail "the package does not declare its Qt dependency (is dpkg-shlibdeps installed?)"

echo "-- checking what the package ships (unpacked in $work/root)"
root="$work/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"
doc="$share/doc/ptcdrop"
app_id=io.github.ptcdrop.ptcdrop
desktop="$share/applications/ptcdrop.desktop"
metainfo="$share/metainfo/$app_id.metainfo.xml"

# The licence: Debian's machine-readable format, never compressed, and the changelog of the
# version the package carries.
copyright="$doc/copyright"
[ -f "$copyright" ] || fail "the copyright file is missing"
head -n 1 "$copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file does not start with the machine-readable Format line"
grep -qx 'License: MIT' "$copyright" || fail "the copyright file does not license ptcdrop as MIT"
grep -q 'Qt 6.*LGPL-3.0' "$copyright" || fail "the copyright file does not name Qt under LGPL-3.0"
grep -q 'zlib.*Zlib' "$copyright" || fail "the copyright file does not name zlib under Zlib"
[ -f "$doc/changelog.gz" ] || fail "the changelog is missing"
changelog_version=$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l- -S Version)
[ "$changelog_version" = "$version" ] ||
  fail "the changelog's newest entry is $changelog_version, the package is $version"

# Each program has its man page, which renders without a warning (groff reports bad requests
# and unknown escapes only as warnings; any of them is a fault).
for program in "$root"/usr/bin/*; do
  name=$(basename "$program")
  page="$share/man/man1/$name.1.gz"
  [ -f "$page" ] || fail "$name has no man page"
  warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the man page of $name does not render cleanly: $warnings"
  ! readelf -d "$program" | grep -q -E 'RPATH|RUNPATH' || fail "$name carries a run path"
done

# check_icon <context> <name>: the scalable icon and every fixed size in the hicolor theme.
check_icon() {
  local theme="$share/icons/hicolor" size png
  [ -f "$theme/scalable/$1/$2.svg" ] || fail "the scalable $2 icon is missing"
  for size in 16 22 24 32 48 64 128 256; do
    png="$theme/${size}x${size}/$1/$2.png"
    [ -f "$png" ] || fail "the ${size}x${size} $2 icon is missing"
    file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a ${size}x${size} PNG"
  done
}

has_window=0
[ -x "$root/usr/bin/ptcdrop" ] && has_window=1
if [ $has_window -eq 1 ]; then
  dpkg-deb -f "$deb" Recommends Depends | grep -q 'qt6-wayland' ||
    fail "the package neither depends on nor recommends qt6-wayland"

  desktop-file-validate "$desktop"
  grep -qx 'Exec=ptcdrop %F' "$desktop" || fail "the desktop entry does not hand its files to ptcdrop"
  grep -qx 'MimeType=application/x-ptc;' "$desktop" || fail "the desktop entry does not open .ptc files"
  grep -qx 'Exec=ptcdrop --gzip %F' "$desktop" || fail "the desktop entry has no gzip action"
  grep -q '^Name\[de\]=' <(sed -n '/^\[Desktop Action gzip\]/,$p' "$desktop") ||
    fail "the gzip action has no German name"

  # appstreamcli exits 0 on warnings; they count as faults here. --no-net: the screenshot and
  # the web pages are not reachable from every machine that runs this.
  appstreamcli validate --explain --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "the metainfo is not valid"; }
  ! grep -E '^[EW]: ' "$work/appstream.log" || fail "the metainfo has errors or warnings"
  # The tree as a whole: the metainfo's launchable and icon must be among the files.
  appstreamcli validate-tree --no-net "$root"
  grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metainfo has no release entry for version $version"
  grep -q "<project_license>MIT</project_license>" "$metainfo" || fail "the metainfo names no licence"

  check_icon apps ptcdrop

  # The file type: shared-mime-info builds its database from the package file without a
  # complaint, and that database names *.ptc (any case) and the signature.
  mime="$share/mime/packages/ptcdrop.xml"
  [ -f "$mime" ] || fail "the file type is missing"
  # update-mime-database exits 0 even on a file it cannot parse, but then says so; the data
  # folder is on the search path so that it adds no note about that.
  data="$work/data"
  mkdir -p "$data/mime/packages"
  cp "$mime" "$data/mime/packages/"
  messages=$(XDG_DATA_HOME="$data" XDG_DATA_DIRS="$data" update-mime-database "$data/mime" 2>&1)
  [ -z "$messages" ] || fail "shared-mime-info does not accept the file type: $messages"
  # No ":cs" flag after the glob: it matches in any letter case.
  grep -qx '50:application/x-ptc:\*\.ptc' "$data/mime/globs2" || fail "the file type has no *.ptc glob"
  grep -q 'PX01' "$data/mime/magic" || fail "the file type has no PX01 signature"
  grep -qx 'application/x-ptc:application-x-ptc' "$data/mime/icons" ||
    fail "the file type does not name the application-x-ptc icon"
  check_icon mimetypes application-x-ptc
else
  echo "   (this build has no window: the package carries ptcdrop-cli only)"
  desktop-file-validate packaging/ptcdrop.desktop
  appstreamcli validate --no-net packaging/$app_id.metainfo.xml
fi

if command -v lintian >/dev/null; then
  echo "-- lintian"
  lintian --fail-on error,warning "$deb"
else
  echo "   (lintian is not installed: skipped here; .ci/check-package.sh runs it)"
fi

echo "-- using the packaged programs (from the unpacked tree)"
cli="$root/usr/bin/ptcdrop-cli"
[ "$("$cli" --version)" = "ptcdrop-cli $version" ] || fail "'ptcdrop-cli --version' does not print $version"
mkdir "$work/files"
cd "$work/files"
printf 'ptcdrop package check\n' >notes.txt
cp notes.txt original.txt
"$cli" notes.txt
[ "$(stat -c %s NOTES.ptc)" -eq 49200 ] || fail "packing did not give a 49200-byte NOTES.ptc"
rm notes.txt
"$cli" NOTES.ptc
[ "$(stat -c %s NOTES.dat)" -eq 49152 ] || fail "unpacking did not give a 49152-byte NOTES.dat"
cmp -s -n "$(stat -c %s original.txt)" original.txt NOTES.dat || fail "NOTES.dat does not begin with the text"
rm NOTES.ptc NOTES.dat
cp original.txt notes.txt
"$cli" --gzip notes.txt
rm notes.txt
"$cli" --gzip NOTES.ptc
cmp -s original.txt NOTES.txt || fail "a gzip round trip did not give the text back"
# The string tables are embedded: the packaged program speaks German without any file.
if LANG=de_DE.UTF-8 LC_ALL='' LC_MESSAGES='' LANGUAGE='' "$cli" missing.txt 2>"$work/stderr"; then
  fail "a missing file did not give exit status 1"
fi
grep -q 'konnte nicht gelesen werden' "$work/stderr" || fail "no German message: $(cat "$work/stderr")"
cd - >/dev/null
if [ $has_window -eq 1 ]; then
  # The window must start from the packaged files alone; it runs until the timeout ends it.
  status=0
  QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/ptcdrop" >"$work/window.log" 2>&1 || status=$?
  [ $status -eq 124 ] || { cat "$work/window.log" >&2; fail "the packaged ptcdrop exited with status $status"; }
fi

echo "-- package check passed ($deb)"
