#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a while.
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
# Findings (crash-*, leak-*, timeout-*) are left in build-fuzz/findings/<target>/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build-fuzz"
SECONDS_EACH="${1:-60}"
shift || true
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(fuzz_wav fuzz_aiff fuzz_sun fuzz_raw fuzz_kx64 fuzz_peakfile fuzz_probe fuzz_mp3 fuzz_vorbis fuzz_flac fuzz_ffmpeg fuzz_id3 fuzz_database fuzz_vdisk_serial fuzz_encoders)
fi

if [ ! -f "$BUILD/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DSONQUIL_FUZZ=ON -DSONQUIL_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target fuzz_seeds fuzz_library_seeds "${TARGETS[@]}" -j2
for seeds in fuzz_seeds fuzz_library_seeds; do
  "$(find "$BUILD/fuzz" -name "$seeds" -type f | head -1)" "$BUILD/corpus" >/dev/null
done

# Leaks inside the codec libraries that our code cannot free (see the file).
export LSAN_OPTIONS="suppressions=$ROOT/fuzz/audiofile/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

status=0
for t in "${TARGETS[@]}"; do
  exe="$(find "$BUILD/fuzz" -name "$t" -type f -perm -u+x | head -1)"
  corpus="$BUILD/corpus/$t"
  findings="$BUILD/findings/$t"
  mkdir -p "$corpus" "$findings"
  echo "== $t for ${SECONDS_EACH}s"
  if ! "$exe" -max_total_time="$SECONDS_EACH" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" 2>"$BUILD/$t.log"; then
    echo "   FOUND a problem: see $findings and $BUILD/$t.log"
    status=1
  fi
  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$BUILD/$t.log" | tail -2 || true
done
exit $status
