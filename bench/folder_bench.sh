#!/usr/bin/env bash
# A library folder of 100,000 pictures in 1,000 folders, listed with its sub-folders under Wine
# (bench/FolderBench.cpp): the first listing with no index, writing the index, then — in a
# fresh process, as at the wallpaper changer's start — the listing with the index, and in each
# process a second listing (what every later wallpaper change does). Also the memory the
# listing holds: the process's private bytes and the bytes in use on its heaps, before and
# after. Rounds are interleaved; medians, minimum and maximum are printed.
#
#   bench/folder_bench.sh [rounds] [folders] [pictures per folder]     (default 5 1000 100)
#
# The pictures are empty files named *.jpg (the walk goes by name), made natively in the Wine
# prefix's drive C: (ten folders of years, each with a hundred folders of pictures), with
# folder times of a day in 2024, as a library made long ago has. Uses the x64 build (build/x64)
# and its Wine prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
folders=${2:-1000}
per=${3:-100}
export MURLAVO_BUILD="$here/build"

if [ ! -f "$here/build/x64/build.ninja" ]; then
  echo "no build/x64: run make test first" >&2
  exit 1
fi
cmake --build "$here/build/x64" --target murlavo_folder_bench -j 2 >/dev/null
bench="$here/build/x64/bin/murlavo_folder_bench.exe"
. "$here/scripts/wine-env.sh"
wine_prefix_ready

tree="$WINEPREFIX/drive_c/murlavo-folder-bench"
work=$(mktemp -d)
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$tree" "$work"
}
trap cleanup EXIT
rm -rf "$tree"
mkdir -p "$tree/library" "$tree/empty"
start=$(date +%s%N)
(
  cd "$tree/library"
  years=10
  for ((f = 0; f < folders; f++)); do
    printf -v dir 'Year %04d/Event %04d' $((2000 + f % years)) "$f"
    mkdir -p "$dir"
    for ((i = f * per; i < (f + 1) * per; i++)); do printf '%s/IMG_%05d.jpg\0' "$dir" "$i"; done
  done | xargs -0 touch
)
find "$tree" -type d -exec touch -d '2024-06-01 12:00' {} +
made=$(( ($(date +%s%N) - start) / 1000000 ))
count=$(find "$tree/library" -type f | wc -l)
dirs=$(find "$tree/library" -type d | wc -l)
echo "made $count files in $dirs folders (with the library's own) in $made ms"

start_wine_server
"$WINE" wineboot >/dev/null 2>&1 || true
library='C:\murlavo-folder-bench\library'
empty='C:\murlavo-folder-bench\empty'
index='C:\murlavo-folder-bench\index\Folder index.dat'
empty_index='C:\murlavo-folder-bench\index\Empty index.dat'
run() { # name, arguments...
  local name=$1 line
  shift
  line=$("$WINE" "$bench" "$@" 2>"$work/err" | tr -d '\r' | grep '^first_ms=') || {
    echo "$name failed: $(cat "$work/err")" >&2
    exit 1
  }
  echo "$name $line" >>"$work/runs"
}
# Round 0 warms the Wine server and the system's file cache; it is not counted.
for round in $(seq 0 "$rounds"); do
  rm -rf "$tree/index"
  run no-index "$library" "$index" save
  run with-index "$library" "$index"
  run empty-library "$empty" "$empty_index" save
  if [ "$round" -eq 0 ]; then
    cp "$work/runs" "$work/warm-up"
    : >"$work/runs"
  fi
done
echo "index file: $(stat -c %s "$tree/index/Folder index.dat") bytes"

echo "== under Wine: $count pictures in $dirs folders; $rounds rounds, each in fresh processes"
awk '
  function median(list, n,   i, j, t, a) {
    for (i = 1; i <= n; i++) a[i] = list[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  {
    name = $1; n = ++count[name]; if (n == 1) order[++names] = name
    for (f = 2; f <= NF; f++) { split($f, kv, "="); v[name, kv[1], n] = kv[2]; if (n == 1 && name == order[1]) keys[++nkeys] = kv[1] }
  }
  END {
    for (k = 1; k <= names; k++) {
      name = order[k]; n = count[name]
      printf "%s (%d runs): median [min..max]\n", name, n
      for (q = 1; q <= nkeys; q++) {
        key = keys[q]; lo = hi = v[name, key, 1]
        for (r = 1; r <= n; r++) { t[r] = v[name, key, r]; if (t[r] < lo) lo = t[r]; if (t[r] > hi) hi = t[r] }
        printf "  %-18s %10s  [%s..%s]\n", key, median(t, n), lo, hi
      }
    }
  }' "$work/runs"
awk '
  { for (f = 2; f <= NF; f++) { split($f, kv, "="); v[$1, kv[1]] += kv[2]; } c[$1]++ }
  END {
    b = "empty-library"; l = "with-index"
    printf "memory the listing holds (with-index process, mean): private %+.1f MB, heap %+.1f MB;", \
      (v[l, "private_first_mb"] - v[l, "private_before_mb"]) / c[l], (v[l, "heap_first_mb"] - v[l, "heap_before_mb"]) / c[l]
    printf " against an empty library folder: private %+.1f MB, heap %+.1f MB\n", \
      v[l, "private_first_mb"] / c[l] - v[b, "private_first_mb"] / c[b], v[l, "heap_first_mb"] / c[l] - v[b, "heap_first_mb"] / c[b]
  }' "$work/runs"
