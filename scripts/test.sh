#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite: the everyday build, then
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the extra
# checks in scripts/ci-extra/. Safe on a contributor's machine: the only packages it
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

run_preset() {
  echo "== $1: configure, build, test"
  cmake --preset "$1"
  cmake --build --preset "$1"
  ctest --preset "$1"
}

run_preset default
[ $quick -eq 1 ] && exit 0
run_preset sanitize
for step in scripts/ci-extra/*.sh; do
  [ -e "$step" ] || continue
  echo "== $(basename "$step")"
  bash "$step"
done
echo "== all tests passed"
