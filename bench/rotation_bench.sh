#!/usr/bin/env bash
# The wallpaper changer over a library of one folder of 100,000 pictures in 1,000 folders,
# under Wine (bench/ChangeBench.cpp, "folder"): the time from the changer's start to its first
# applied wallpaper (the folders found, a picture of the shuffle prepared and applied), the
# next change, and the working set the list adds. The first round has no folder index (as the
# first start after the folder was added), the later ones have it (as every later start).
# The pictures are hard links to copies of one small JPEG, so the figures are the rotation's own. Then the
# Settings dialog opened on a library holding that folder (bench/settings/SettingsBench.cpp).
#
#   bench/rotation_bench.sh [rounds] [folders] [pictures per folder]     (default 5 1000 100)
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
cmake --build "$here/build/x64" --target murlavo_change_bench -j 2 >/dev/null
bench="$here/build/x64/bin/murlavo_change_bench.exe"
. "$here/scripts/wine-env.sh"
start_wine_session 1024x768x24 >/dev/null
tree="$WINEPREFIX/drive_c/murlavo-rotation-bench"
index="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Murlavo/Folder index.dat"
cleanup() { rm -rf "$tree"; }
trap cleanup EXIT
rm -rf "$tree"
mkdir -p "$tree/library"
convert -size 64x48 gradient:red-blue "$tree/one.jpg"
mkdir -p "$tree/model"
for ((p = 0; p < per; ++p)); do cp "$tree/one.jpg" "$tree/model/$p.jpg"; done
for ((f = 0; f < folders; ++f)); do
  mkdir -p "$tree/library/$((f / 100))"
  cp -al "$tree/model" "$tree/library/$((f / 100))/$f"
done
echo "$((folders * per)) pictures in $folders folders"
for ((r = 1; r <= rounds; ++r)); do
  [ "$r" -eq 1 ] && rm -f "$index"
  printf 'round %d (%s): ' "$r" "$([ "$r" -eq 1 ] && echo 'no index' || echo 'index')"
  wine "$bench" folder 'C:\murlavo-rotation-bench\library\**' 2>/dev/null | tr -d '\r'
done
# The Settings dialog on a library that holds the folder (and 100 pictures beside it).
cmake --build "$here/build/x64" --target murlavo_settings_bench -j 2 >/dev/null
wine "$here/build/x64/bin/murlavo_settings_bench.exe" 100 1 5 'C:\murlavo-rotation-bench\library\**' 2>/dev/null | tr -d '\r'

