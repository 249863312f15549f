#!/usr/bin/env bash
# Installs what is missing, builds and starts Sonquil. Without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/app/sonquil
else
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/src/app/sonquil
fi
