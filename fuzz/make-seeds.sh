#!/usr/bin/env bash
# Rewrites the seed files of fuzz/corpus with fuzz_make_seeds (built by the native build);
# regression inputs kept beside them are left alone.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$here/build/native" --target fuzz_make_seeds >/dev/null
ASAN_OPTIONS=detect_leaks=0 "$here/build/native/bin/fuzz_make_seeds" "$here/fuzz/corpus"
du -sh "$here/fuzz/corpus"
