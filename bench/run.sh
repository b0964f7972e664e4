#!/usr/bin/env bash
# Runs the picture benchmark beside ImageMagick on the same synthetic 6000x4000 picture and
# prints how the two compare. ImageMagick runs on one thread, with the Mitchell filter and the
# exact target size, reading the picture as a 24-bit bitmap file.
#
#   bench/run.sh [runs]        (default 7; the median of the runs is reported)
#
# The benchmark is built without sanitizers in build/bench, with the flags of the program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
build="$here/build/bench"
convert=/usr/bin/convert # not a wrapper on the PATH: the real ImageMagick

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMURLAVO_SANITIZE=OFF -DMURLAVO_TESTS=OFF >/dev/null
cmake --build "$build" --target murlavo_bench -j 2 >/dev/null
bench="$build/bin/murlavo_bench"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write-input "$work/in.bmp"

echo "== Murlavo (portable code, one thread)"
"$bench" --runs "$runs" --dir "$work" | tee "$work/ours.txt"

# Milliseconds of one run of a command, as the median of $runs runs.
median_ms() {
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
  done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# The median of one of our operations, by its name.
ours_ms() {
  awk -v name="$1" '$0 ~ "^" name " " { print $3 }' "$work/ours.txt"
}

if [ ! -x "$convert" ]; then
  echo "ImageMagick ($convert) is not installed: no comparison" >&2
  exit 0
fi

echo
echo "== ImageMagick $("$convert" -version | awk 'NR == 1 { print $3 }'), one thread, -filter Mitchell"
export MAGICK_THREAD_LIMIT=1
im() { "$convert" -limit thread 1 "$@"; }
read_ms=$(median_ms im "$work/in.bmp" null:)
printf '%-34s %8s ms\n' "read the bitmap file only" "$read_ms"
for size in 1920x1080 2560x1440; do
  whole=$(median_ms im "$work/in.bmp" -filter Mitchell -resize "$size!" "$work/out.bmp")
  resize=$(median_ms im "$work/in.bmp" -filter Mitchell -resize "$size!" null:)
  only=$((resize - read_ms))
  ours=$(ours_ms "Resample $size")
  printf '%-34s %8s ms\n' "read, resize $size, write" "$whole" "resize $size alone (less reading)" "$only"
  awk -v im="$only" -v whole="$whole" -v ours="$ours" -v size="$size" 'BEGIN {
    printf "Resample %s: %.1f ms; ImageMagick resize / Resample = %.1f (whole command: %.1f)\n",
      size, ours, im / ours, whole / ours }'
done
for size in 1920x1080 2560x1440; do
  awk -v a="$(ours_ms "Resample $size")" -v b="$(ours_ms "Resize $size")" -v size="$size" 'BEGIN {
    printf "Resample / Resize at %s = %.1f\n", size, a / b }'
done
