#!/usr/bin/env bash
# make run: installs what is missing, builds the Windows program and shows it working in a
# Wine virtual desktop (1024x768) on a private Xvfb display when DISPLAY is unset, or on the
# user's display otherwise. Screenshots go to build/screens/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/setup.sh"

export MURLAVO_BUILD="$here/build"
if [ ! -f build/x64/build.ninja ]; then
  cmake -S "$here" -B build/x64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build build/x64 --target murlavo -j "$(nproc 2>/dev/null || echo 2)"

. "$here/scripts/wine-env.sh"
own_display=0
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ "$own_display" = 1 ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb 1024x768x24
  own_display=1
fi
wine_prefix_ready
"$WINESERVER" -p

screens="$here/build/screens"
mkdir -p "$screens"
exe=$("$WINE" winepath -w "$here/build/x64/bin/murlavo.exe" 2>/dev/null)

shot() { # name
  if [ "$own_display" = 1 ]; then
    import -display "$DISPLAY" -window root "$screens/$1.png" && echo "screenshot: build/screens/$1.png"
  fi
}

# Runs a program inside the shared virtual desktop "Murlavo".
in_desktop() { "$WINE" explorer /desktop=Murlavo,1024x768 "$@"; }

echo "== Murlavo in a Wine desktop on $DISPLAY"
# The wallpaper changer, the screen saver and the Settings dialog join as they are built;
# until then the program starts, reads its settings, picks its role and ends.
in_desktop "$exe" /v || true
shot desktop
