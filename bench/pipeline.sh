#!/usr/bin/env bash
# One wallpaper change with fitting, as whole processes: a 6000x4000 quality-90 JPEG, then the
# same picture as a PNG (zlib level 6), fitted into a 1920x1080 screen (1620x1080), scaled and
# written as a 24-bit bitmap file. Ours (bench/FitTool.cpp, over the portable code: streamed,
# and the whole-picture path it replaced) beside libvips (Mitchell kernel; it reads PNG with
# libspng), ImageMagick (Mitchell filter) and the floor: djpeg's full decode alone for the
# JPEG, inflating the picture data alone for the PNG; all in the same rounds, interleaved.
#
#   bench/pipeline.sh [rounds]     (default 11)
#
# First checks that the streamed and whole-picture paths write the same bytes for several
# pictures (shrinking, enlarging, odd widths, portrait, greyscale, progressive, interlaced),
# screens and both scalers; any difference fails the script. Then prints, per command:
# wall-clock median, minimum and maximum in ms, the median of the peak resident memory in MB,
# and the medians of the round-by-round ratios to libvips and to the floor. The machine may be shared: the spread (min,
# max) says how noisy a run was; compare the ratios, which hold better than the times.
# The other programs run with their own defaults (libvips and ImageMagick may use threads);
# ours decodes and scales on two threads where the machine has two cores (--one-thread: one).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-11}
build="${MURLAVO_BENCH_BUILD:-$here/build/bench}"

for tool in cjpeg djpeg vips /usr/bin/convert /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "missing $tool: run scripts/setup.sh" >&2
    exit 1
  fi
done
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMURLAVO_SANITIZE=OFF -DMURLAVO_TESTS=OFF >/dev/null
cmake --build "$build" --target murlavo_fit -j 2 >/dev/null
fit="$build/bin/murlavo_fit"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# photo NAME WIDTH HEIGHT [cjpeg options...]: a photo-like JPEG of quality 90.
photo() {
  local name=$1 w=$2 h=$3
  shift 3
  "$fit" --make-photo "$work/$name.ppm" "$w" "$h" "$w"
  cjpeg -quality 90 "$@" -outfile "$work/$name.jpg" "$work/$name.ppm"
  rm -f "$work/$name.ppm"
}

# png NAME WIDTH HEIGHT [vips pngsave options]: the same kind of picture as a PNG file.
png() {
  local name=$1 w=$2 h=$3 options=${4:-}
  "$fit" --make-photo "$work/$name.ppm" "$w" "$h" "$w"
  vips copy "$work/$name.ppm" "$work/$name.png[compression=6${options:+,$options}]"
  rm -f "$work/$name.ppm"
}

echo "== the same bytes from the streamed and the whole-picture path"
photo big 6000 4000
photo small 800 600
photo odd 1001 667
photo portrait 3000 4500
photo grey 1203 901 -grayscale
photo progressive 2000 1333 -progressive
png big 6000 4000
png odd 1001 667
png portrait 3000 4500
png interlaced 1203 901 interlace
checked=0
for name in big.jpg small.jpg odd.jpg portrait.jpg grey.jpg progressive.jpg big.png odd.png portrait.png \
  interlaced.png; do
  for screen in "1920 1080" "1366 768" "1280 1024" "801 601"; do
    for method in "" --resize; do
      # shellcheck disable=SC2086
      "$fit" --whole $method "$work/$name" $screen "$work/whole.bmp"
      # shellcheck disable=SC2086
      "$fit" $method "$work/$name" $screen "$work/streamed.bmp"
      if ! cmp -s "$work/whole.bmp" "$work/streamed.bmp"; then
        echo "DIFFERENT: $name into $screen ${method:-(Resample)}" >&2
        exit 1
      fi
      checked=$((checked + 1))
    done
  done
done
echo "$checked cases: identical"

read -r cx cy < <(awk 'BEGIN {
  W = 6000; H = 4000; rx = 1920 / W; ry = 1080 / H
  if (rx < ry) printf "%d %d\n", 1920, int(H * rx); else printf "%d %d\n", int(W * ry), 1080 }')
hscale=$(awk -v c="$cx" 'BEGIN { printf "%.9f", c / 6000 }')
vscale=$(awk -v c="$cy" 'BEGIN { printf "%.9f", c / 4000 }')

# rounds TITLE FLOOR: runs the commands of the arrays names and commands, one warm-up round,
# then the counted ones, interleaved; prints the table (ratios to vips-mitchell and FLOOR).
rounds() {
  local title=$1 floor=$2 round i start end
  rm -f "$work/runs"
  echo
  echo "== $title: $rounds rounds, interleaved"
  for round in $(seq 0 "$rounds"); do
    for i in "${!commands[@]}"; do
      start=$(date +%s%N)
      # shellcheck disable=SC2086
      /usr/bin/time -f %M -o "$work/mem" ${commands[$i]} >/dev/null 2>&1
      end=$(date +%s%N)
      [ "$round" -eq 0 ] && continue
      echo "$round ${names[$i]} $(((end - start) / 1000)) $(tail -n 1 "$work/mem")" >>"$work/runs"
    done
  done
  awk -v floor="$floor" '
    function median(list, n,   i, j, t, a) {
      for (i = 1; i <= n; i++) a[i] = list[i]
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { us[$2, $1] = $3; kb[$2, $1] = $4; if (!($2 in seen)) { seen[$2] = 1; order[++count] = $2 } if ($1 > last) last = $1 }
    END {
      printf "%-16s %9s %9s %9s %9s %9s %9s\n", "command", "median ms", "min ms", "max ms", "peak MB", "/ vips", "/ " floor
      for (c = 1; c <= count; c++) {
        name = order[c]; lo = ""; hi = ""
        for (r = 1; r <= last; r++) {
          t[r] = us[name, r] / 1000; m[r] = kb[name, r] / 1024
          v[r] = us[name, r] / us["vips-mitchell", r]; d[r] = us[name, r] / us[floor, r]
          if (lo == "" || t[r] < lo) lo = t[r]; if (hi == "" || t[r] > hi) hi = t[r]
        }
        printf "%-16s %9.0f %9.0f %9.0f %9.1f %9.2f %9.2f\n", name, median(t, last), lo, hi, median(m, last), median(v, last), median(d, last)
      }
    }' "$work/runs"
}

src="$work/big.jpg"
names=(ours-resample ours-resize whole-resample whole-resize vips-mitchell magick-mitchell djpeg)
commands=(
  "$fit $src 1920 1080 $work/o1.bmp"
  "$fit --resize $src 1920 1080 $work/o2.bmp"
  "$fit --whole $src 1920 1080 $work/o3.bmp"
  "$fit --whole --resize $src 1920 1080 $work/o4.bmp"
  "vips resize $src $work/o5.ppm $hscale --vscale $vscale --kernel mitchell"
  "/usr/bin/convert $src -filter Mitchell -resize ${cx}x${cy}! $work/o6.bmp"
  "djpeg -outfile /dev/null $src"
)
rounds "$(stat -c %s "$src")-byte 6000x4000 JPEG into 1920x1080 (${cx}x${cy})" djpeg

src="$work/big.png"
names=(ours-resample ours-resize whole-resample vips-mitchell magick-mitchell inflate)
commands=(
  "$fit $src 1920 1080 $work/o1.bmp"
  "$fit --resize $src 1920 1080 $work/o2.bmp"
  "$fit --whole $src 1920 1080 $work/o3.bmp"
  "vips resize $src $work/o5.ppm $hscale --vscale $vscale --kernel mitchell"
  "/usr/bin/convert $src -filter Mitchell -resize ${cx}x${cy}! $work/o6.bmp"
  "$fit --inflate $src"
)
rounds "$(stat -c %s "$src")-byte 6000x4000 PNG (zlib level 6) into 1920x1080 (${cx}x${cy})" inflate
