#!/usr/bin/env bash
# make dist: installs what is missing, builds the program for 64-bit and 32-bit Windows and
# puts each architecture's zip and setup program into dist/:
#   dist/murlavo-<version>-win64.zip  dist/murlavo-<version>-win64-setup.exe
#   dist/murlavo-<version>-win32.zip  dist/murlavo-<version>-win32-setup.exe
# The version is project(VERSION) in CMakeLists.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/setup.sh"

export MURLAVO_BUILD="$here/build"
jobs=$(nproc 2>/dev/null || echo 2)
# The same build folders and options as make test, so either command reuses the other's build.
configure() { # folder, extra cmake arguments...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
}
configure build/x64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"
configure build/i686 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DMURLAVO_TESTS=OFF

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
