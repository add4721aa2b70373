#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets (preset "fuzz": clang with the sanitizers) and runs each one
# for a short while on a copy of its seed corpus. A crash or a broken invariant fails the
# step; the input that caused it is kept under build/fuzz/artifacts/.
#   PTCDROP_FUZZ_SECONDS=600 scripts/ci-extra/fuzz.sh    longer runs
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${PTCDROP_FUZZ_SECONDS:-30}
targets=(fuzz_container fuzz_gunzip fuzz_naming)

cmake --preset fuzz
cmake --build --preset fuzz --target "${targets[@]}"

build=build/fuzz
artifacts=$build/artifacts
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for target in "${targets[@]}"; do
  area=${target#fuzz_}
  binary=$build/fuzz/$target
  # Inputs that once crashed are replayed first: each must now pass.
  if compgen -G "fuzz/regressions/$area/*" >/dev/null; then
    echo "-- $target: replaying fuzz/regressions/$area"
    "$binary" -runs=1 fuzz/regressions/"$area"/*
  fi
  # Fuzzing adds inputs to its corpus; the committed seeds stay as they are.
  cp -r "fuzz/corpus/$area" "$work/$area"
  echo "-- $target: ${seconds}s"
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$work/$area" 2>"$work/$target.log" || {
    tail -n 60 "$work/$target.log" >&2
    echo "$target failed: see $artifacts/" >&2
    exit 1
  }
  grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$target.log" || true
done
