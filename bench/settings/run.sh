#!/usr/bin/env bash
# Opens and confirms the Settings dialog on a library of 10,000 pictures in 100 playlists under
# Wine, on a private display, and prints the median times (bench/settings/SettingsBench.cpp).
#
#   bench/settings/run.sh [pictures] [playlists] [runs] [folder record]
#
# A folder record ("C:\Pictures\**") is put first in the first playlist (bench/rotation_bench.sh
# passes its folder of 100,000 pictures).
#
# Uses the Windows build and Wine prefix of `make test` (build/x64, build/wineprefix).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export MURLAVO_BUILD="$here/build"
cmake --build "$here/build/x64" --target murlavo_settings_bench >/dev/null
. "$here/scripts/wine-env.sh"
start_wine_session 1024x768x24
"$WINE" "$here/build/x64/bin/murlavo_settings_bench.exe" "${1:-10000}" "${2:-100}" "${3:-5}" ${4:+"$4"}
