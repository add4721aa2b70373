#!/usr/bin/env bash
# Builds the .deb from build/default, validates what it ships, installs it, uses the installed
# programs, then removes it and every package its installation pulled in.
# Run from the repository root after build/default is built; needs root (or sudo).
# PTCDROP_BUILD_DIR and PTCDROP_PACKAGE_DIR choose other build and output folders.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${PTCDROP_BUILD_DIR:-build/default}
out=${PTCDROP_PACKAGE_DIR:-build/package}
[ -f "$build/CPackConfig.cmake" ] || { echo "package.sh: configure and build $build first" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
fail() { echo "package.sh: $*" >&2; exit 1; }

work=$(mktemp -d)
installed_before="$work/installed-before"
installed_by_us=0
cleanup() {
  local status=$?
  if [ $installed_by_us -eq 1 ]; then
    # Put the machine back as it was: the package, then whatever came in with it.
    $sudo dpkg --purge ptcdrop >/dev/null || status=1
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' |
      sort >"$work/installed-after"
    mapfile -t pulled < <(comm -13 "$installed_before" "$work/installed-after")
    if [ ${#pulled[@]} -gt 0 ]; then
      echo "package.sh: removing what the installation pulled in: ${pulled[*]}"
      DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -q "${pulled[@]}" >/dev/null || status=1
    fi
    if dpkg-query -W -f='${db:Status-Abbrev}' ptcdrop 2>/dev/null | grep -q '^i'; then
      echo "package.sh: ptcdrop is still installed" >&2
      status=1
    fi
  fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT

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

echo "-- validating what the package ships"
dpkg-deb -x "$deb" "$work/tree"
share="$work/tree/usr/share"
desktop="$share/applications/ptcdrop.desktop"
metainfo="$share/metainfo/org.example.ptcdrop.metainfo.xml"
[ -f "$share/man/man1/ptcdrop-cli.1.gz" ] || fail "the man page is missing from the package"
# groff reports bad requests and unknown escapes only as warnings; any of them is a fault.
warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$share/man/man1/ptcdrop-cli.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the man page does not render cleanly: $warnings"
for program in "$work"/tree/usr/bin/*; do
  ! readelf -d "$program" | grep -q -E 'RPATH|RUNPATH' || fail "$(basename "$program") carries a run path"
done
has_window=0
[ -x "$work/tree/usr/bin/ptcdrop" ] && has_window=1
if [ $has_window -eq 1 ]; then
  desktop-file-validate "$desktop"
  appstreamcli validate --no-net "$metainfo"
  # The tree as a whole: the metainfo's launchable and icon must be among the files.
  appstreamcli validate-tree --no-net "$work/tree"
  grep -qx 'Exec=ptcdrop' "$desktop" || fail "the desktop entry must start ptcdrop without file arguments"
  grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metainfo has no release entry for version $version"
  [ -f "$share/icons/hicolor/scalable/apps/ptcdrop.svg" ] || fail "the scalable icon is missing"
  for size in 16 22 24 32 48 64 128 256; do
    png="$share/icons/hicolor/${size}x${size}/apps/ptcdrop.png"
    [ -f "$png" ] || fail "the ${size}x${size} icon is missing"
    file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a ${size}x${size} PNG"
  done
else
  echo "   (this build has no window: the package carries ptcdrop-cli only)"
  desktop-file-validate packaging/ptcdrop.desktop
  appstreamcli validate --no-net packaging/org.example.ptcdrop.metainfo.xml
fi

echo "-- installing $deb"
if dpkg-query -W -f='${db:Status-Abbrev}' ptcdrop 2>/dev/null | grep -q '^i'; then
  fail "ptcdrop is already installed here; remove it first so that this check does not replace it"
fi
dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' |
  sort >"$installed_before"
installed_by_us=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$deb" \
  >"$work/apt.log" || { cat "$work/apt.log" >&2; fail "the package did not install"; }

echo "-- using the installed programs"
cli=/usr/bin/ptcdrop-cli
[ "$($cli --version)" = "ptcdrop-cli $version" ] || fail "'$cli --version' does not print $version"
mkdir "$work/files"
cd "$work/files"
printf 'ptcdrop package check\n' >notes.txt
cp notes.txt original.txt
$cli notes.txt
[ "$(stat -c %s NOTES.ptc)" -eq 49200 ] || fail "packing did not give a 49200-byte NOTES.ptc"
rm notes.txt
$cli NOTES.ptc
[ "$(stat -c %s NOTES.dat)" -eq 49152 ] || fail "unpacking did not give a 49152-byte NOTES.dat"
cmp -s -n "$(stat -c %s original.txt)" original.txt NOTES.dat || fail "NOTES.dat does not begin with the text"
rm NOTES.ptc NOTES.dat
cp original.txt notes.txt
$cli --gzip notes.txt
rm notes.txt
$cli --gzip NOTES.ptc
cmp -s original.txt NOTES.txt || fail "a gzip round trip did not give the text back"
# The string tables are embedded: the installed program speaks German without any file.
if LANG=de_DE.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE= $cli missing.txt 2>"$work/stderr"; then
  fail "a missing file did not give exit status 1"
fi
grep -q 'konnte nicht gelesen werden' "$work/stderr" || fail "no German message: $(cat "$work/stderr")"
cd - >/dev/null
man -w ptcdrop-cli >/dev/null || fail "man does not find ptcdrop-cli"
if [ $has_window -eq 1 ]; then
  # The window must start from the installed files alone; it runs until the timeout ends it.
  status=0
  QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/ptcdrop >"$work/window.log" 2>&1 || status=$?
  [ $status -eq 124 ] || { cat "$work/window.log" >&2; fail "the installed ptcdrop exited with status $status"; }
fi

echo "-- package check passed ($deb)"
