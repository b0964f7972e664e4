#!/usr/bin/env bash
# Configures (once) and builds the libFuzzer targets with clang in build/fuzz.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$here/build/fuzz/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$here" -B "$here/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMURLAVO_FUZZ=ON -DMURLAVO_TESTS=OFF >/dev/null
fi
cmake --build "$here/build/fuzz" --target fuzz_all -j "$(nproc 2>/dev/null || echo 2)"
