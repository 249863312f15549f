#!/usr/bin/env bash
# Configures and builds Sonquil into build/ (or the folder given as $1); further arguments go to
# cmake (e.g. -DSONQUIL_ASAN=ON) and, after "--target", name what to build.
#   scripts/build.sh [DIR] [CMAKE_OPTION...] [--target TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
extra=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ]; then
    shift
    targets=(--target "$@")
    break
  fi
  extra+=("$1")
  shift
done
# CI holds warnings as errors unless the caller chose otherwise.
if [ "${CI:-}" = "true" ] && [[ " ${extra[*]:-} " != *" -DSONQUIL_WERROR="* ]]; then extra+=(-DSONQUIL_WERROR=ON); fi
# ccache keys on paths below the tree, not on where the tree lies, so that a fresh clone (CI's)
# reuses what an earlier build in another folder compiled.
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
