#!/usr/bin/env bash
# Long fuzzing runs: fuzz/run.sh SECONDS [TARGET...]
# Builds the libFuzzer targets (clang, build/fuzz), then runs each target SECONDS seconds, two
# at a time at low priority, and prints per target the executions, executions per second,
# coverage at the start and the end, new inputs and findings. New inputs stay in
# build/fuzz/fuzz-work/NAME (add the ones worth keeping to fuzz/corpus/NAME); findings land
# in build/fuzz/fuzz-work/findings/NAME. Exits 1 when any target found something.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(library bitmap tga jpeg jpeg_fitted commandline)

"$here/fuzz/build.sh" || exit 1
work="$here/build/fuzz/fuzz-work"
results="$work/results"
mkdir -p "$results"
status=0
run() {
  nice -n 19 "$here/fuzz/run-target.sh" "$here/build/fuzz/bin/fuzz_$1" "$1" "$seconds" "$work" >"$results/$1" 2>&1
}
# Two at a time: the machine's two cores are shared with everything else.
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do run "$t" & pids+=($!); done
  for p in "${pids[@]}"; do wait "$p" || status=1; done
  for t in "${targets[@]:i:2}"; do cat "$results/$t"; done
done
exit $status
