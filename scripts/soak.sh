#!/usr/bin/env bash
# make soak: builds the Windows x86-64 flavour and runs the soaks (CTest label "soak") under
# Wine on a private Xvfb display; each soak prints its handle counts, resident memory and time
# per step.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/setup.sh"
export MURLAVO_BUILD="$here/build"
if [ ! -f build/x64/build.ninja ]; then
  cmake -S "$here" -B build/x64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build build/x64 -j "$(nproc 2>/dev/null || echo 2)" --target soak_show

. "$here/scripts/wine-env.sh"
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb 1024x768x24
wine_prefix_ready
"$WINESERVER" -p
"$WINE" wineboot >/dev/null 2>&1 || true
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
ctest --test-dir build/x64 --output-on-failure -V -L soak
