#!/usr/bin/env bash
# Decodes one 6000x4000 quality-90 JPEG with our reader (bench/jpeg_bench.cpp) and with djpeg
# from libjpeg-turbo-progs, in the same run, and prints both timings and their ratio.
# Builds a native optimised flavour (the program's flags) without sanitizers in build/bench (or $MURLAVO_BENCH_BUILD).
# RUNS (default 5) decodes per side; the best of each is compared.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${MURLAVO_BENCH_BUILD:-$here/build/bench}
runs=${RUNS:-5}

# Configured every time: the bench folder may have been hooked in since the last run.
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMURLAVO_SANITIZE=OFF -DMURLAVO_TESTS=OFF >/dev/null
if ! cmake --build "$build" -j 2 --target jpeg_bench >/dev/null; then
  echo "cannot build jpeg_bench (bench/CMakeLists.txt must hold add_subdirectory(jpeg))" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photo="$work/photo.jpg"

"$build/bin/jpeg_bench" "$photo" "$runs" >"$work/ours.txt"
grep -v '^best_' "$work/ours.txt"
fresh=$(sed -n 's/^best_fresh_ms=//p' "$work/ours.txt")
reused=$(sed -n 's/^best_reused_ms=//p' "$work/ours.txt")
echo "file: $(stat -c %s "$photo") bytes"

best=""
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  djpeg -outfile /dev/null "$photo"
  end=$(date +%s%N)
  ms=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) / 1e6 }')
  if [ -z "$best" ] || awk -v a="$ms" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$ms; fi
done
echo "djpeg (whole process, PPM to /dev/null): best $best ms over $runs runs"
awk -v f="$fresh" -v r="$reused" -v b="$best" \
  'BEGIN { printf "ratio LoadJpegFile / djpeg: %.2f (fresh picture), %.2f (reused picture)\n", f / b, r / b }'
