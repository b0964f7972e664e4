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
# The fuzz targets run beside the Windows tests, which spend much of their time waiting for
# Wine: each target has a fixed time, so at a lower priority it only makes fewer inputs, and
# the Windows tests keep the processor they need; the limit on one input's wall-clock time is
# four times the usual there. Its report follows theirs.
fuzz_log=build/fuzz/make-test.log
fuzz_times=build/fuzz/make-test.times
(
  set +e
  trap - ERR
  start=$(date +%s)
  FUZZ_TIMEOUT_FACTOR=4 nice -n 10 ctest --test-dir build/fuzz --output-on-failure -j 2 >"$fuzz_log" 2>&1
  status=$?
  echo "$start $(date +%s)" >"$fuzz_times"
  exit $status
) &
fuzz_pid=$!
step "Windows tests under Wine (the fuzz targets run beside them)"
ctest --test-dir build/x64 --output-on-failure -j "$jobs" -LE soak || failed+=("Windows tests")
step "fuzz targets: each over its corpus, then 20 s of new inputs (10 s for the small ones)"
wait "$fuzz_pid" || failed+=("fuzz targets")
cat "$fuzz_log"
step_done
read -r fuzz_start fuzz_end <"$fuzz_times" || fuzz_start=0 fuzz_end=0
step_time "  of which the fuzz targets ran (beside the Windows tests)" $((fuzz_end - fuzz_start))
steps_report
if [ ${#failed[@]} -gt 0 ]; then
  echo "$COMMAND: failed: ${failed[*]} (CTest's summaries above name each failing test)" >&2
  exit 1
fi
