#!/usr/bin/env bash
# Configures and builds Sonquil into build/ (or the folder given as $1).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
extra=()
if [ "${CI:-}" = "true" ]; then extra+=(-DSONQUIL_WERROR=ON); fi
export CCACHE_BASEDIR="$PWD"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
