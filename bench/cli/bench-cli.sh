#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Whole-process timing of ptcdrop-cli beside gzip -6, md5sum and cp on the same data.
#   bench/cli/bench-cli.sh PATH/TO/ptcdrop-cli
# Environment: PTCDROP_BENCH_MIB (size of the large file, default 256), PTCDROP_BENCH_FILES
# (number of small files, default 10000), PTCDROP_BENCH_RUNS (runs per command, default 3),
# PTCDROP_BENCH_WARMUP (warm-up runs before them, default 1), PTCDROP_BENCH_TIMER=date (time
# with date even when hyperfine is installed),
# PTCDROP_BENCH_DIR (scratch folder, default a new one under $TMPDIR or /tmp; it needs about
# 4 x the large file plus 1 GB for the small batch, whose containers are 49200 bytes each).
# Uses hyperfine when installed, else wall-clock timing with date +%s.%N. The warm-up run
# leaves the page cache warm for every command alike.
set -euo pipefail

cli=$(realpath "${1:?usage: bench-cli.sh PATH/TO/ptcdrop-cli}")
mib=${PTCDROP_BENCH_MIB:-256}
count=${PTCDROP_BENCH_FILES:-10000}
runs=${PTCDROP_BENCH_RUNS:-3}
warmup=${PTCDROP_BENCH_WARMUP:-1}
work=${PTCDROP_BENCH_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/ptcdrop-bench.XXXXXX")}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

timer=date
[ "${PTCDROP_BENCH_TIMER:-hyperfine}" = hyperfine ] && command -v hyperfine >/dev/null && timer=hyperfine

declare -A mean spread
order=()

# measure KEY FOLDER COMMAND [IGNORE_FAILURE]: mean and spread of the command's wall time,
# run by the shell in FOLDER.
measure() {
  local key=$1 folder=$2 command=$3 ignore=${4:-}
  order+=("$key")
  if [ "$timer" = hyperfine ]; then
    local csv="$work/$key.csv" flags=()
    [ -n "$ignore" ] && flags+=(--ignore-failure)
    hyperfine --style basic --warmup "$warmup" --runs "$runs" "${flags[@]}" --export-csv "$csv" \
      --command-name "$key" "cd '$folder' && $command" >/dev/null 2>"$work/$key.log" ||
      { cat "$work/$key.log" >&2; exit 1; }
    mean[$key]=$(awk -F, 'NR == 2 { print $2 }' "$csv")
    spread[$key]=$(awk -F, 'NR == 2 { print $3 }' "$csv")
  else
    local times=() start end
    for ((run = 0; run < warmup + runs; ++run)); do
      start=$(date +%s.%N)
      (cd "$folder" && eval "$command") >/dev/null 2>&1 || [ -n "$ignore" ]
      end=$(date +%s.%N)
      if [ "$run" -ge "$warmup" ]; then
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
      fi
    done
    mean[$key]=$(printf '%s\n' "${times[@]}" | awk '{ s += $1 } END { print s / NR }')
    spread[$key]=$(printf '%s\n' "${times[@]}" |
      awk -v m="${mean[$key]}" '{ d += ($1 - m) ^ 2 } END { print sqrt(d / NR) }')
  fi
  printf '  %-28s %9.3f s  +- %.3f\n' "$key" "${mean[$key]}" "${spread[$key]}"
}

# text_bytes N: N bytes of base64 text of random bytes, which compresses to about 3/4 as
# text-like data does. The last head ends the pipe early, so pipefail is off here.
text_bytes() {
  (
    set +o pipefail
    head -c $(($1 * 3 / 4 + 4096)) /dev/urandom | base64 -w "${2:-76}" | head -c "$1"
  )
}

ratio() { awk -v a="${mean[$1]}" -v b="${mean[$2]}" 'BEGIN { printf "%.2f", a / b }'; }

# Peak memory of one run, for the record (GNU time's %M is in KiB).
peak() {
  local folder=$1; shift
  if [ -x /usr/bin/time ]; then
    (cd "$folder" && /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1) || true
  else
    echo "?"
  fi
}

echo "ptcdrop-cli whole-process benchmark"
echo "  machine: $(uname -srm), $(nproc) cores, $(awk -F: '/model name/ { print $2; exit }' /proc/cpuinfo | sed 's/^ *//')"
echo "  memory:  $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "  cli:     $cli ($("$cli" --version))"
echo "  data:    one file of $mib MiB (base64 text), $count files of 1 KiB; $runs runs each"
echo "  timer:   $([ $timer = hyperfine ] && hyperfine --version || echo 'date +%s.%N')"

mkdir -p "$work/large/pack" "$work/large/unpack" "$work/large/unpackgz" "$work/large/copy"
text_bytes $((mib * 1048576)) >"$work/large/pack/big.txt"
(cd "$work/large/pack" && "$cli" big.txt && mv BIG_*.ptc ../unpack/)
cp "$work/large/pack/big.txt" "$work/large/unpackgz/big.txt"
(cd "$work/large/unpackgz" && "$cli" --gzip big.txt && rm big.txt)
gzip -6 -c "$work/large/pack/big.txt" >"$work/large/copy/big.txt.gz"
pieces=$(ls "$work/large/unpack" | wc -l)
gzpieces=$(ls "$work/large/unpackgz" | wc -l)

echo
echo "== large file: $mib MiB, $pieces containers (switch off), $gzpieces (switch on)"
measure pack-off "$work/large/pack" "'$cli' big.txt"
measure pack-on "$work/large/pack" "'$cli' --gzip big.txt"
measure unpack-off "$work/large/unpack" "'$cli' BIG_*.ptc"
# A piece of a multi-piece gzip stream does not gunzip by itself: every piece but the
# last gives "Unzip" (status 1), so this times the attempt over the whole stream.
measure unpack-on "$work/large/unpackgz" "'$cli' --gzip BIG_*.ptc 2>/dev/null" ignore
measure gzip-6 "$work/large/pack" "gzip -6 -c big.txt > ../copy/big.txt.gz"
measure gunzip "$work/large/copy" "gzip -d -c big.txt.gz > big.out"
measure md5sum "$work/large/pack" "md5sum big.txt"
measure cp "$work/large/pack" "cp big.txt ../copy/big.copy"
echo "  peak memory: pack-off $(peak "$work/large/pack" "$cli" big.txt) KiB," \
  "pack-on $(peak "$work/large/pack" "$cli" --gzip big.txt) KiB"
rm -f "$work"/large/pack/BIG_*.ptc "$work"/large/unpack/BIG_*.dat "$work"/large/copy/*

# The batch: small files of distinct content, each one container.
mkdir -p "$work/batch/pack" "$work/batch/unpack" "$work/batch/copy"
(
  cd "$work/batch/pack"
  text_bytes $((count * 1024)) 0 | split -a 5 -d -b 1024 - f
  for file in f*; do mv "$file" "$file.txt"; done
)
(cd "$work/batch/pack" && "$cli" f*.txt && mv F*.ptc ../unpack/)

echo
echo "== batch: $count files of 1 KiB"
measure batch-pack-off "$work/batch/pack" "'$cli' f*.txt"
measure batch-pack-on "$work/batch/pack" "'$cli' --gzip f*.txt"
measure batch-unpack-off "$work/batch/unpack" "'$cli' F*.ptc"
measure batch-gzip-6 "$work/batch/pack" "gzip -6 -k -f f*.txt"
measure batch-md5sum "$work/batch/pack" "md5sum f*.txt"
measure batch-cp "$work/batch/pack" "cp f*.txt ../copy/"

echo
echo "== ratios (ptcdrop-cli time / reference time; below 1 is faster)"
printf '  %-18s %8s %8s %8s\n' "" "/ cp" "/ md5sum" "/ gzip-6"
for key in pack-off pack-on unpack-off unpack-on; do
  printf '  %-18s %8s %8s %8s\n' "$key" "$(ratio $key cp)" "$(ratio $key md5sum)" "$(ratio $key gzip-6)"
done
printf '  %-18s %8s\n' "unpack-on/gunzip" "$(ratio unpack-on gunzip)"
for key in batch-pack-off batch-pack-on batch-unpack-off; do
  printf '  %-18s %8s %8s %8s\n' "$key" "$(ratio $key batch-cp)" "$(ratio $key batch-md5sum)" \
    "$(ratio $key batch-gzip-6)"
done
