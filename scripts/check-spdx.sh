#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Lists every tracked source, script and build file without an SPDX-License-Identifier: MIT
# line among its first lines; exits 1 if there is any, 0 if every one has it.
#   scripts/check-spdx.sh    run from anywhere inside the clone
set -euo pipefail
cd "$(dirname "$0")/.."

# How far down the line may stand: after a shebang, an XML declaration or both.
head_lines=5

# Sources, scripts and build files. Data has no licence line of its own: images, fuzz
# inputs, translations, documents, and JSON (CMakePresets.json), which has no comments.
is_checked() {
  case "$1" in
  *.cpp | *.cc | *.cxx | *.h | *.hpp | *.ui) return 0 ;;    # C++ sources, Qt forms
  *.sh | .ci/run) return 0 ;;                                # scripts
  CMakeLists.txt | */CMakeLists.txt | *.cmake) return 0 ;;   # build files
  packaging/*.in | packaging/*.xml | packaging/*.desktop) return 0 ;; # packaging sources
  packaging/changelog | packaging/copyright) return 0 ;;
  esac
  # Any other tracked file that starts as a script.
  [ -f "$1" ] && head -c 2 -- "$1" | grep -q '^#!'
}

missing=0
checked=0
while IFS= read -r -d '' file; do
  is_checked "$file" || continue
  checked=$((checked + 1))
  if ! head -n "$head_lines" -- "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
    echo "$file"
    missing=$((missing + 1))
  fi
done < <(git ls-files -z)

if [ $missing -gt 0 ]; then
  echo "check-spdx: $missing of $checked files have no 'SPDX-License-Identifier: MIT' line near the top" >&2
  exit 1
fi
echo "check-spdx: all $checked files carry 'SPDX-License-Identifier: MIT'"
