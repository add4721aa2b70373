#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates the seed corpus under fuzz/corpus/ with the packer itself (ptcdrop-cli).
#   fuzz/make-corpus.sh PATH/TO/ptcdrop-cli
set -euo pipefail
cli=$(realpath "$1")
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

pack() { # pack SOURCE-NAME BYTES-FILE [--gzip]: prints the container paths it made
  local dir="$work/$RANDOM$RANDOM"
  mkdir "$dir"
  cp "$2" "$dir/$1"
  "$cli" ${3:-} -- "$dir/$1" >/dev/null
  ls "$dir"/*.ptc
}

text="$work/text"
for i in $(seq 1 40); do echo "line $i of a notes file, repeated to compress"; done >"$text"
head -c 10 "$text" >"$work/ten"
: >"$work/empty"
head -c 49252 /dev/urandom >"$work/large"

rm -rf corpus/container corpus/gunzip corpus/naming
mkdir -p corpus/container corpus/gunzip corpus/naming

cp "$(pack notes.txt "$text")" corpus/container/grp-text.ptc
cp "$(pack notes.txt "$text" --gzip)" corpus/container/grp-gzip.ptc
cp "$(pack ten.txt "$work/ten" --gzip)" corpus/container/grp-gzip-short-source.ptc
cp "$(pack empty.txt "$work/empty")" corpus/container/grp-empty.ptc
cp "$(pack large.bin "$work/large" | tail -n 1)" corpus/container/grp-last-piece.ptc
# A "PRG" container of 200 bytes whose data size says 164, and a bare header.
{
  head -c 4 corpus/container/grp-text.ptc
  printf '\xa4\x00'
  head -c 45 corpus/container/grp-text.ptc | tail -c +7
  printf 'PRG'
  head -c 200 corpus/container/grp-text.ptc | tail -c +49
} >corpus/container/prg.ptc
head -c 48 corpus/container/grp-gzip.ptc >corpus/container/header-only.ptc

# Gzip streams as the unpacker sees them: a payload area with its zero fill, and one cut short.
tail -c +49 corpus/container/grp-gzip.ptc >corpus/gunzip/payload-area
tail -c +49 corpus/container/grp-gzip-short-source.ptc | head -c 64 >corpus/gunzip/short-source
tail -c +49 corpus/container/grp-gzip.ptc | head -c 40 >corpus/gunzip/truncated
# Several members, as `cat a.gz b.gz` makes them: whole, in a payload area, cut short in the
# second member, and followed by bytes that begin no member.
printf 'first member\n' | gzip -n >"$work/a.gz"
printf 'second member\n' | gzip -n >"$work/b.gz"
: | gzip -n >"$work/empty.gz"
cat "$work/a.gz" "$work/b.gz" >corpus/gunzip/two-members
cat "$work/a.gz" "$work/empty.gz" "$work/b.gz" >corpus/gunzip/three-members-one-empty
{ cat "$work/a.gz" "$work/b.gz"; head -c 200 /dev/zero; } >corpus/gunzip/members-zero-fill
{ cat "$work/a.gz"; head -c 20 "$work/b.gz"; } >corpus/gunzip/second-member-truncated
{ cat "$work/a.gz"; printf 'trailing bytes'; } >corpus/gunzip/trailing-bytes

# Paths as UTF-16 (little-endian, as QChar holds them on this machine).
i=0
while IFS= read -r name; do
  printf '%s' "$name" | iconv -f UTF-8 -t UTF-16LE >"corpus/naming/name-$i"
  i=$((i + 1))
done <<'NAMES'
/home/user/notes.txt
longfilename.txt
my_file_.txt
x__.txt
archive.tar.gz
.profile
_.txt
NOTES.Ptc
/a.b/report.doc
𝄞𝄞𝄞𝄞𝄞.bin
abcd𝄞𝄞.txt
straße.txt
漢字漢字漢字漢字.txt
100%@.ptc
NAMES
