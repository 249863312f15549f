#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Sonquil need.
# Does nothing when they are all present.
set -euo pipefail

PACKAGES=(
  # toolchain
  cmake ninja-build g++ pkg-config ccache
  # the window and its drawing; without fonts Qt draws text as empty boxes
  qt6-base-dev libgl-dev fonts-dejavu-core
  # export encoders (MP3, FLAC, AAC and WMA) and the lame tool that external-encoder tests run
  libmp3lame-dev libflac-dev libavcodec-dev libavformat-dev libavutil-dev lame
  # import of everything else FFmpeg decodes (M4A, ALAC, Opus, CAF, WebM, WMA, coded AIFF-C)
  libswresample-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
  # the install test: the desktop entry check and the installed window under Xvfb
  desktop-file-utils xdotool
  # the install test formats the manual pages and validates the software centres' description
  groff-base man-db appstream
  # sound cards (the engine's device layer)
  portaudio19-dev
  # real tools that make test inputs and check what we write
  sox libsox-fmt-all flac ffmpeg libsndfile1-dev sndfile-programs lame vorbis-tools mpg123
  # codecs of the compressed formats (MP3 and FLAC reading, Ogg Vorbis both ways)
  libmpg123-dev libvorbis-dev libogg-dev libflac-dev
  # loudness measurement (EBU R128, true peak)
  libebur128-dev
  # audio CD import: drives and disc images, error-corrected reading, CDDB over HTTP
  libcdio-dev libcdio-paranoia-dev libcddb2-dev
  # CI's checks: the layering script and the format check
  python3 clang-format
  # real VST 2 plug-ins (Linux builds) for the plug-in host's tests
  lsp-plugins-vst
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
