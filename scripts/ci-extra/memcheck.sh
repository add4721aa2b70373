#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs ptcdrop-cli of the everyday build (build/default) under valgrind's memcheck over a
# copy of the fuzz seed corpus, with the gzip switch off and on. Any memory error or
# definite leak fails the step.
set -euo pipefail
cd "$(dirname "$0")/../.."

cli=build/default/src/cli/ptcdrop-cli
[ -x "$cli" ] || { echo "memcheck: $cli is missing; build the default preset first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ptcdrop-cli itself exits 1 when it showed an alert (some seeds are meant to give one), so
# valgrind reports its errors with a status of its own.
valgrind_status=99
for switch in off on; do
  dir="$work/$switch"
  mkdir "$dir"
  cp fuzz/corpus/container/* "$dir/"
  # The other seeds are plain files with odd bytes: packed, never unpacked.
  for area in gunzip naming; do
    for seed in fuzz/corpus/"$area"/*; do cp "$seed" "$dir/$area-$(basename "$seed")"; done
  done
  options=()
  [ "$switch" = on ] && options=(--gzip)
  echo "-- memcheck, gzip switch $switch: $(ls "$dir" | wc -l) files"
  status=0
  valgrind --quiet --error-exitcode=$valgrind_status --leak-check=full \
    --errors-for-leak-kinds=definite --track-fds=no \
    "$cli" "${options[@]}" -- "$dir"/* 2>"$work/$switch.log" || status=$?
  grep -v '^ptcdrop-cli: ' "$work/$switch.log" >&2 || true
  if [ $status -ne 0 ] && [ $status -ne 1 ]; then
    echo "memcheck: ptcdrop-cli (gzip switch $switch) ended with status $status" >&2
    exit 1
  fi
  echo "   clean (ptcdrop-cli status $status, $(grep -c '^ptcdrop-cli: ' "$work/$switch.log" || true) alerts)"
done
