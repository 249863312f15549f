#!/usr/bin/env bash
# Fails, listing the files, when a C++ file of the tree differs from what clang-format makes of
# it with the .clang-format at the root. scripts/format.sh puts them right.
#   scripts/check-format.sh [FILE...]   (default: every tracked or new .cpp and .h file)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed (scripts/setup.sh)" >&2; exit 1; }
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | sort -u)
fi
[ ${#files[@]} -gt 0 ] || exit 0
# --dry-run reports each place that would change as "file:line:col: error: ..."; keep the names.
mapfile -t differ < <(printf '%s\0' "${files[@]}" |
  xargs -0 -n 40 -P "$(nproc)" clang-format --dry-run -Werror --ferror-limit=1 2>&1 |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#differ[@]} -gt 0 ]; then
  printf '%s\n' "${differ[@]}"
  echo "check-format: ${#differ[@]} of ${#files[@]} files differ from .clang-format (scripts/format.sh formats them)" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
