#!/usr/bin/env bash
# Formats C++ files in place with the .clang-format at the root.
#   scripts/format.sh [FILE...]   (default: every tracked or new .cpp and .h file)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format: clang-format is not installed (scripts/setup.sh)" >&2; exit 1; }
if [ $# -gt 0 ]; then
  printf '%s\0' "$@" | xargs -0 clang-format -i
else
  git ls-files --cached --others --exclude-standard -z -- '*.cpp' '*.h' | xargs -0 -n 40 -P "$(nproc)" clang-format -i
fi
