#!/usr/bin/env bash
# A wallpaper change with fitting inside the Windows program, under Wine on a 1920x1080
# screen: a 6000x4000 quality-90 JPEG, from the double click on the notification icon to the
# applied wallpaper, with the process's peak working set. Also the preparation's work alone
# on the picture object: the whole-picture path it replaced, and the streamed one; and a change
# on a desktop of three 4K monitors, a photo fitted to each and composed. Rounds are
# interleaved; medians, minimum and maximum are printed.
#
#   bench/wine_change.sh [rounds]     (default 7)
#
# Uses the x64 build (build/x64, with tests: the bench borrows their fixtures) and its Wine
# prefix, and the native build/bench for making the photo.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-7}
export MURLAVO_BUILD="$here/build"

if [ ! -f "$here/build/x64/build.ninja" ]; then
  echo "no build/x64: run make test first" >&2
  exit 1
fi
cmake --build "$here/build/x64" --target murlavo_change_bench -j 2 >/dev/null
cmake -S "$here" -B "$here/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMURLAVO_SANITIZE=OFF -DMURLAVO_TESTS=OFF >/dev/null
cmake --build "$here/build/bench" --target murlavo_fit -j 2 >/dev/null
bench="$here/build/x64/bin/murlavo_change_bench.exe"

work=$(mktemp -d)
. "$here/scripts/wine-env.sh"
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"$here/build/bench/bin/murlavo_fit" --make-photo "$work/photo.ppm" 6000 4000 6000
cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
rm "$work/photo.ppm"
photo="Z:$work/photo.jpg"
# Three monitors want three pictures: the photo under two more names.
cp "$work/photo.jpg" "$work/photo2.jpg"
cp "$work/photo.jpg" "$work/photo3.jpg"
three="$photo Z:$work/photo2.jpg Z:$work/photo3.jpg"

start_xvfb 1920x1080x24
wine_prefix_ready
"$WINESERVER" -p
"$WINE" wineboot >/dev/null 2>&1 || true

names=(changer-resample changer-resize whole-resample fitted-resample whole-resize fitted-resize
  3x4k-resample 3x4k-resize)
args=("changer $photo" "changer $photo resize" "whole $photo 1920 1080" "fitted $photo 1920 1080"
  "whole $photo 1920 1080 resize" "fitted $photo 1920 1080 resize" "monitors $three" "monitors $three resize")
for round in $(seq 0 "$rounds"); do
  for i in "${!names[@]}"; do
    # shellcheck disable=SC2086
    line=$("$WINE" "$bench" ${args[$i]} 2>/dev/null | tr -d '\r' | grep '^ms=') || {
      echo "${names[$i]} failed" >&2
      exit 1
    }
    [ "$round" -eq 0 ] && continue # warm-up
    echo "${names[$i]} $line" >>"$work/runs"
  done
done

echo "== under Wine, 1920x1080 screen, $(stat -c %s "$work/photo.jpg")-byte 6000x4000 JPEG: $rounds rounds, interleaved"
awk '
  function median(list, n,   i, j, t, a) {
    for (i = 1; i <= n; i++) a[i] = list[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  {
    name = $1; n = ++count[name]; if (n == 1) order[++names] = name
    for (f = 2; f <= NF; f++) { split($f, kv, "="); v[name, kv[1], n] = kv[2] }
  }
  END {
    printf "%-18s %9s %9s %9s %13s %13s\n", "what", "median ms", "min ms", "max ms", "peak WS MB", "WS before MB"
    for (k = 1; k <= names; k++) {
      name = order[k]; n = count[name]; lo = hi = v[name, "ms", 1]
      for (r = 1; r <= n; r++) {
        t[r] = v[name, "ms", r]; p[r] = v[name, "peak_ws_mb", r]; s[r] = v[name, "start_ws_mb", r]
        if (t[r] < lo) lo = t[r]; if (t[r] > hi) hi = t[r]
      }
      printf "%-18s %9.0f %9.0f %9.0f %13.1f %13.1f\n", name, median(t, n), lo, hi, median(p, n), median(s, n)
    }
  }' "$work/runs"
