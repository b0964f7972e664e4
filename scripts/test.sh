#!/usr/bin/env bash
# make test: installs what is missing, builds the three flavours, runs every test
# (Windows tests under Wine on a private Xvfb display), prints CTest's summary.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/setup.sh"

export MURLAVO_BUILD="$here/build"
jobs=$(nproc 2>/dev/null || echo 2)

configure() { # folder, extra cmake arguments...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
}

echo "== building: Windows x86-64, Windows i686, native (sanitizers)"
configure build/x64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"
configure build/i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DMURLAVO_TESTS=OFF
configure build/native
cmake --build build/x64 -j "$jobs"
cmake --build build/i686 -j "$jobs"
cmake --build build/native -j "$jobs"
echo "== building: fuzz targets (clang, libFuzzer)"
"$here/fuzz/build.sh"

. "$here/scripts/wine-env.sh"
start_wine_session 1024x768x24

status=0
echo "== native tests (ASan + UBSan)"
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
echo "== fuzz targets: each over its corpus, then 30 s of new inputs (two at a time)"
ctest --test-dir build/fuzz --output-on-failure -j 2 || status=1
echo "== Windows tests under Wine"
ctest --test-dir build/x64 --output-on-failure -j "$jobs" -LE soak || status=1
exit $status
