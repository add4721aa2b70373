#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The file engine's figures: whole-process ratios, system calls per container, peak memory.
#   bench/engine/bench-engine.sh PATH/TO/ptcdrop-cli [FIGURE...]
# FIGURE is any of gzip jobs-small jobs-large syscalls memory growing (default: all).
# Files live on tmpfs (/dev/shm): on a disk, writeback left by earlier runs swings one job
# by a factor of three. Environment: PTCDROP_BENCH_RUNS (pairs per ratio, default 5),
# PTCDROP_BENCH_MEMORY_MODES (gzip modes of the memory figure, default off,on),
# PTCDROP_BENCH_DIR (scratch folder on tmpfs, default a new one under /dev/shm; it needs
# about 9 GiB for the memory figure, 1.5 GiB for the others).
set -euo pipefail

cli=$(realpath "${1:?usage: bench-engine.sh PATH/TO/ptcdrop-cli [FIGURE...]}")
shift
figures=("$@")
[ ${#figures[@]} -eq 0 ] && figures=(gzip jobs-small jobs-large syscalls memory growing)
runs=${PTCDROP_BENCH_RUNS:-5}
work=${PTCDROP_BENCH_DIR:-$(mktemp -d /dev/shm/ptcdrop-engine.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
pairs="python3 $(dirname "$(realpath "$0")")/../pairs.py"
for tool in pigz strace /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "bench-engine: $tool is needed" >&2; exit 1; }
done

# MIB of text that compresses about as well as prose (about 3.4:1 with gzip -6).
make_text() {
  python3 - "$1" "$2" <<'PY'
import random, sys
random.seed(20261210)
words = [w.encode() for w in (
    "the of and to in a is that for it as was with be by on not he this are or his from at "
    "which but have an they you were her she there one all we their can has been if more "
    "when will would who so no file folder piece container drop window batch stream byte "
    "header payload digest gzip pack unpack name series part order read write save").split()]
size = int(sys.argv[2]) << 20
with open(sys.argv[1], "wb") as out:
    block = bytearray()
    while size > 0:
        line = b" ".join(random.choice(words) for _ in range(random.randint(6, 14)))
        block += line.capitalize() + b".\n"
        if len(block) >= 1 << 20:
            chunk = bytes(block[:size]); out.write(chunk); size -= len(chunk); block.clear()
    if size > 0:
        out.write(bytes(block[:size]))
PY
}

text="$work/large/text.txt"
ensure_text() {
  [ -f "$text" ] && return
  mkdir -p "$work/large"
  make_text "$text" 256
}

ratio() { # NAME A B [SETUP]: A's time over B's, pair by pair; A, B and SETUP (untimed,
           # before every run) are shell commands
  echo "== $1"
  echo "   A: $2"
  echo "   B: $3"
  $pairs -n "$runs" ${4:+--before "$4"} "$2" "$3"
}

for figure in "${figures[@]}"; do
  case $figure in
  gzip)
    ensure_text
    ratio "pack 256 MiB of text with gzip on, against zlib's own single-threaded time" \
      "cd $work/large && exec $cli --gzip text.txt" \
      "exec pigz -p1 -6 -c $text > $work/large/text.gz"
    ;;
  jobs-small)
    mkdir -p "$work/small"
    python3 - "$work/small" <<'PY'
import os, random, sys
random.seed(7)
for i in range(10000):
    with open(os.path.join(sys.argv[1], "f%05d.dat" % i), "wb") as out:
        out.write(random.randbytes(random.randint(0, 3072)))
PY
    # Packed into a folder without outputs, as a folder is packed the first time; then
    # again over the outputs of the run before, which replaces each one.
    ratio "pack 10,000 files of 0-3 KiB, --jobs 2 against --jobs 1, new outputs" \
      "cd $work/small && exec $cli --jobs 2 f*.dat" \
      "cd $work/small && exec $cli --jobs 1 f*.dat" \
      "find $work/small -name 'F*.ptc' -delete"
    ratio "pack 10,000 files of 0-3 KiB, --jobs 2 against --jobs 1, replacing outputs" \
      "cd $work/small && exec $cli --jobs 2 f*.dat" \
      "cd $work/small && exec $cli --jobs 1 f*.dat"
    ;;
  jobs-large)
    ensure_text
    ratio "pack 256 MiB with gzip off, --jobs 2 against --jobs 1, new outputs" \
      "cd $work/large && exec $cli --jobs 2 text.txt" \
      "cd $work/large && exec $cli --jobs 1 text.txt" \
      "find $work/large -name 'TEXT*.ptc' -delete"
    ratio "pack 256 MiB with gzip off, --jobs 2 against --jobs 1, replacing outputs" \
      "cd $work/large && exec $cli --jobs 2 text.txt" \
      "cd $work/large && exec $cli --jobs 1 text.txt"
    ;;
  syscalls)
    ensure_text
    mkdir -p "$work/unpack"
    cp "$text" "$work/unpack/cut.txt"
    (cd "$work/unpack" && "$cli" --jobs 1 cut.txt && rm cut.txt)
    count=$(ls "$work/unpack" | wc -l)
    for jobs in 1 2; do
      rm -f "$work/unpack"/*.dat
      (cd "$work/unpack" && strace -f -c -o "$work/strace-$jobs.txt" "$cli" --jobs "$jobs" CUT_*.ptc)
      total=$(awk '$NF == "total" { print $4 }' "$work/strace-$jobs.txt")
      echo "== unpack $count containers, --jobs $jobs: $total system calls, $(awk -v t="$total" -v c="$count" 'BEGIN { printf "%.2f", t / c }') per container"
      awk '$1 ~ /^[0-9.]+$/ && $NF != "total" { printf "   %-18s %s\n", $NF, $4 }' "$work/strace-$jobs.txt" |
        sort -k2 -n -r | head -12
    done
    ;;
  memory)
    ensure_text
    mkdir -p "$work/huge"
    for _ in $(seq 16); do cat "$text"; done > "$work/huge/huge.txt"
    IFS=, read -r -a modes <<< "${PTCDROP_BENCH_MEMORY_MODES:-off,on}"
    for mode in "${modes[@]}"; do
      gzip=
      [ "$mode" = on ] && gzip=--gzip
      (cd "$work/huge" && /usr/bin/time -v "$cli" $gzip huge.txt 2> "$work/time.txt")
      echo "== pack 4 GiB ${gzip:-without gzip}: peak RSS $(awk -F': ' '/Maximum resident/ { printf "%.1f MiB", $2 / 1024 }' "$work/time.txt"), $(awk -F': ' '/Elapsed/ { print $2 }' "$work/time.txt") wall"
      find "$work/huge" -name 'HUGE*' -delete
    done
    rm -f "$work/huge/huge.txt"
    ;;
  growing)
    mkdir -p "$work/grow"
    head -c $((64 << 20)) /dev/urandom > "$work/grow/grow.bin"
    # A writer that keeps adding to the file while it is packed, up to 3 GiB.
    (head -c $((3 << 30)) /dev/zero >> "$work/grow/grow.bin") &
    writer=$!
    status=0
    (cd "$work/grow" && /usr/bin/time -v "$cli" --gzip grow.bin 2> "$work/time.txt") || status=$?
    kill "$writer" 2>/dev/null || true
    wait "$writer" 2>/dev/null || true
    echo "== pack a file that grows while read: exit $status, $(grep -c '^ptcdrop-cli:' "$work/time.txt") message(s): $(grep '^ptcdrop-cli:' "$work/time.txt" | head -1)"
    echo "   peak RSS $(awk -F': ' '/Maximum resident/ { printf "%.1f MiB", $2 / 1024 }' "$work/time.txt"), outputs left: $(ls "$work/grow" | grep -vc '^grow.bin$' || true)"
    ;;
  *)
    echo "bench-engine: unknown figure $figure" >&2
    exit 2
    ;;
  esac
done
