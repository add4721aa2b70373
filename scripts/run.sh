#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds ptcdrop and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default
cmake --build --preset default
if [ -x build/default/src/app/ptcdrop ]; then
  exec build/default/src/app/ptcdrop "$@"
fi
echo "Built build/default/src/cli/ptcdrop-cli (the window is not built yet)."
