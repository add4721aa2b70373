#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds and runs the whole test suite: the everyday build, then
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, the window, its
# worker thread and the conversion under ThreadSanitizer, then the extra checks in
# scripts/ci-extra/. Safe on a contributor's machine: the only packages it
# installs are its own build and test dependencies (scripts/deps.sh), and it installs and
# removes nothing else; the package is checked unpacked in a temporary folder. The tests
# labelled "large" (about 10 GiB of memory) are left out: `ctest --preset large`.
#   scripts/test.sh            everything
#   scripts/test.sh --quick    the everyday build's tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/deps.sh
scripts/check-spdx.sh

# run_preset PRESET [TARGET...]: configure, build (only the targets named, when any), test.
run_preset() {
  local preset=$1
  shift
  echo "== $preset: configure, build, test"
  cmake --preset "$preset"
  if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" --target "$@"
  else
    cmake --build --preset "$preset"
  fi
  ctest --preset "$preset"
}

run_preset default
[ $quick -eq 1 ] && exit 0
run_preset sanitize
# The tsan test preset runs the tests that start the window's worker and the conversion's
# threads; only what they need is built.
run_preset tsan tst_window tst_convert tst_cli ptcdrop-cli ptcdrop
for step in scripts/ci-extra/*.sh; do
  [ -e "$step" ] || continue
  echo "== $(basename "$step")"
  bash "$step"
done
echo "== all tests passed"
