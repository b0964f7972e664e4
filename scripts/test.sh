#!/usr/bin/env bash
# make test: installs what is missing, builds the three flavours, runs every test
# (Windows tests under Wine on a private Xvfb display), prints CTest's summary.
set -euo pipefail
. "$(dirname "$0")/build-env.sh"

echo "== building: Windows x86-64, Windows i686, native (sanitizers)"
configure_x64
configure_i686
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
