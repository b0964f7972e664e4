#!/usr/bin/env bash
# make test: installs what is missing, builds the three flavours, runs every test
# (Windows tests under Wine on a private Xvfb display), prints CTest's summary and how long
# each step took.
set -euo pipefail
COMMAND="make test"
. "$(dirname "$0")/build-env.sh"

build_hint="the compiler's messages are above"
step "build: Windows x86-64" "$build_hint"
configure_x64
cmake --build build/x64 -j "$jobs"
step "build: Windows i686" "$build_hint"
configure_i686
cmake --build build/i686 -j "$jobs"
step "build: native (sanitizers)" "$build_hint"
configure build/native
cmake --build build/native -j "$jobs"
step "build: fuzz targets (clang, libFuzzer)" "$build_hint"
"$here/fuzz/build.sh"

step "scripts: the Wine session's own checks" "the check's message is above"
"$here/tests/scripts/wine_session_test.sh"

step "start the Wine session"
. "$here/scripts/wine-env.sh"
start_wine_session 1024x768x24

failed=()
step "native tests (ASan + UBSan)"
ctest --test-dir build/native --output-on-failure -j "$jobs" || failed+=("native tests")
step "fuzz targets: each over its corpus, then 30 s of new inputs (10 s for the small ones)"
ctest --test-dir build/fuzz --output-on-failure -j 2 || failed+=("fuzz targets")
step "Windows tests under Wine"
ctest --test-dir build/x64 --output-on-failure -j "$jobs" -LE soak || failed+=("Windows tests")
steps_report
if [ ${#failed[@]} -gt 0 ]; then
  echo "$COMMAND: failed: ${failed[*]} (CTest's summaries above name each failing test)" >&2
  exit 1
fi
