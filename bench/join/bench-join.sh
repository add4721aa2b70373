#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Joining a large series: peak memory for 4 GiB joined with gzip off and 1 GiB of text with
# gzip on, and the time of the gunzipping join against gzip -d of the same stream in one file.
#   bench/join/bench-join.sh PATH/TO/ptcdrop-cli
# Environment: PTCDROP_BENCH_RUNS (pairs for the ratio, default 5), PTCDROP_BENCH_GIB and
# PTCDROP_BENCH_TEXT_GIB (sizes of the joined files, default 4 and 1), PTCDROP_BENCH_DIR
# (scratch folder on tmpfs; it needs twice the first size and four times the second).
set -euo pipefail

cli=$(realpath "${1:?usage: bench-join.sh PATH/TO/ptcdrop-cli}")
runs=${PTCDROP_BENCH_RUNS:-5}
gib=${PTCDROP_BENCH_GIB:-4}
text_gib=${PTCDROP_BENCH_TEXT_GIB:-1}
work=${PTCDROP_BENCH_DIR:-$(mktemp -d /dev/shm/ptcdrop-join.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
for tool in gzip /usr/bin/time base64 python3; do
  command -v "$tool" >/dev/null || { echo "bench-join: $tool is needed" >&2; exit 1; }
done

peak() { # LABEL COMMAND...: the peak resident memory of one run
  local report
  report=$(/usr/bin/time -f '%M' "${@:2}" 2>&1 >/dev/null | tail -1)
  echo "   $1: peak resident memory ${report} KiB"
}

echo "== joining ${gib} GiB, gzip off"
mkdir -p "$work/plain"
head -c "$((gib << 30))" /dev/zero | tr '\0' 'x' >"$work/plain/data.bin"
(cd "$work/plain" && "$cli" --jobs 1 data.bin)
rm "$work/plain/data.bin"
echo "   $(ls "$work/plain" | wc -l) pieces"
peak "--join" "$cli" --join "$work/plain/DATA_0.ptc"
rm -rf "$work/plain"

echo "== joining ${text_gib} GiB of text, gzip on"
mkdir -p "$work/text"
head -c "$(((text_gib << 30) / 4 * 3))" /dev/urandom | base64 -w 76 >"$work/text/data.txt"
(cd "$work/text" && "$cli" --gzip data.txt)
gzip -c <"$work/text/data.txt" >"$work/text/data.gz"
rm "$work/text/data.txt"
echo "   $(ls "$work/text" | grep -c '\.ptc$') pieces"
peak "--join --gzip" "$cli" --join --gzip "$work/text/DATA_0.ptc"
peak "gzip -d" sh -c "gzip -dc <'$work/text/data.gz' >'$work/text/reference.txt'"
cmp "$work/text/DATA.txt" "$work/text/reference.txt" && echo "   the joined file equals gzip -d's"
rm "$work/text/DATA.txt" "$work/text/reference.txt"

echo "== time of --join --gzip (A) over gzip -d of the same stream in one file (B)"
python3 "$(dirname "$(realpath "$0")")/../pairs.py" -n "$runs" \
  "'$cli' --join --gzip '$work/text/DATA_0.ptc'" \
  "gzip -dc <'$work/text/data.gz' >'$work/text/reference.txt'"
