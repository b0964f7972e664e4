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
start_wine_session 1024x768x24
ctest --test-dir build/x64 --output-on-failure -V -L soak
