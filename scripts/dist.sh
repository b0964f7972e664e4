#!/usr/bin/env bash
# make dist: installs what is missing, builds the program for 64-bit and 32-bit Windows and
# puts each architecture's zip and setup program into dist/:
#   dist/murlavo-<version>-win64.zip  dist/murlavo-<version>-win64-setup.exe
#   dist/murlavo-<version>-win32.zip  dist/murlavo-<version>-win32-setup.exe
# The version is project(VERSION) in CMakeLists.txt.
set -euo pipefail
. "$(dirname "$0")/build-env.sh"
configure_x64
configure_i686

mkdir -p dist
for build in build/x64 build/i686; do
  echo "== $build"
  cmake --build "$build" --target murlavo_dist -j "$jobs"
  for file in "$build"/dist/murlavo-*.zip "$build"/dist/murlavo-*-setup.exe; do
    [ -f "$file" ] || { echo "missing: $file"; exit 1; }
    cp "$file" dist/
  done
done
ls -l dist/
