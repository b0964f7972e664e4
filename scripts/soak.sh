#!/usr/bin/env bash
# make soak: builds the Windows x86-64 flavour and runs the soaks (CTest label "soak") under
# Wine on a private Xvfb display; each soak prints its handle counts, resident memory and time
# per step.
set -euo pipefail
COMMAND="make soak"
. "$(dirname "$0")/build-env.sh"
step "build: the soaks (Windows x86-64)" "the compiler's messages are above"
configure_x64
cmake --build build/x64 -j "$jobs" --target soak_show

step "start the Wine session"
. "$here/scripts/wine-env.sh"
start_wine_session 1024x768x24
step "soaks under Wine" "CTest's output above names the failing soak"
ctest --test-dir build/x64 --output-on-failure -V -L soak
steps_report
