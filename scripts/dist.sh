#!/usr/bin/env bash
# make dist: installs what is missing, builds the program for 64-bit and 32-bit Windows and
# puts each architecture's zip and setup program into dist/:
#   dist/murlavo-<version>-win64.zip  dist/murlavo-<version>-win64-setup.exe
#   dist/murlavo-<version>-win32.zip  dist/murlavo-<version>-win32-setup.exe
# The version is project(VERSION) in CMakeLists.txt.
set -euo pipefail
COMMAND="make dist"
. "$(dirname "$0")/build-env.sh"
configure_x64
configure_i686

mkdir -p dist
for build in build/x64 build/i686; do
  step "release: $build (zip and setup program)" "the build's or makensis's messages are above"
  cmake --build "$build" --target murlavo_dist -j "$jobs"
  for file in "$build"/dist/murlavo-*.zip "$build"/dist/murlavo-*-setup.exe; do
    [ -f "$file" ] || fail "the release step made no $file (see the build's messages above)"
    cp "$file" dist/
  done
done
ls -l dist/
steps_report
