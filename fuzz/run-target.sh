#!/usr/bin/env bash
# Runs one libFuzzer target under the limits every parser must keep:
#   run-target.sh BINARY NAME SECONDS WORKDIR
# SECONDS 0 runs the corpus only (every seed and regression input once). Otherwise the
# target runs over its corpus and then SECONDS of new inputs; new inputs go to WORKDIR/NAME,
# findings to WORKDIR/findings/NAME. Prints one summary line; exits 1 on any finding.
# Limits: inputs up to 64 KB; a parser may take 256 MB (one allocation: -malloc_limit_mb; the
# whole process, with 256 MB more for the fuzzer and the sanitizers: -rss_limit_mb) and 1 s
# natively, which under ASan and UBSan is given as a timeout of FUZZ_TIMEOUT seconds.
set -uo pipefail
bin=$1 name=$2 seconds=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
cache="${MURLAVO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/murlavo}"
# 1 s natively is 5 s under the sanitizers for our code; the JPEG targets also run the decoder
# instrumented (no SIMD, every branch counted), measured 24 times slower than the native one
# (0.44 s native, 10.5 s here for a file of 192 scans), so they get 30 s.
case $name in
  jpeg|jpeg_fitted) timeout=${FUZZ_TIMEOUT:-30} ;;
  # The PNG decoder runs instrumented too; the bounds let a 64 KB file make a picture of up
  # to 256 MB, decoded line by line.
  png) timeout=${FUZZ_TIMEOUT:-30} ;;
  # So does the WebP decoder; a 64 KB file may make a picture of up to 256 MB.
  webp) timeout=${FUZZ_TIMEOUT:-30} ;;
  *) timeout=${FUZZ_TIMEOUT:-5} ;;
esac
# make test runs the targets beside the Windows tests, at a lower priority: the wall-clock
# limits stretch by FUZZ_TIMEOUT_FACTOR there (a hang still ends the run).
timeout=$((timeout * ${FUZZ_TIMEOUT_FACTOR:-1}))

corpus=("$here/corpus/$name")
# Pictures Debian ships with the libjpeg-turbo sources: read where they are, as extra seeds.
testimages="$cache/libjpeg-turbo-src/testimages"
case $name in jpeg|bitmap) [ -d "$testimages" ] && corpus+=("$testimages") ;; esac
# And the pictures of libpng's source package (the test suite, the crashers).
pngpictures="$cache/libpng-src/contrib"
case $name in png) for d in pngsuite pngsuite/interlaced testpngs testpngs/crashers; do
  [ -d "$pngpictures/$d" ] && corpus+=("$pngpictures/$d"); done ;; esac

findings="$work/findings/$name"
mkdir -p "$findings" "$work/$name" "$work/logs"
log="$work/logs/$name-${seconds}s.log" # runs of other lengths may go on meanwhile
# Slow inputs within the timeout are no findings (libFuzzer writes them from 10 s on).
options=(-max_len=65536 -malloc_limit_mb=256 -rss_limit_mb=${FUZZ_RSS_MB:-512} -timeout="$timeout"
  -report_slow_units="$timeout"
  -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$findings/")
[ -f "$here/dict/$name.dict" ] && options+=(-dict="$here/dict/$name.dict")
# A small quarantine keeps the sanitizer's own memory out of the way of the RSS limit.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=10}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

before=$(find "$findings" -type f | wc -l)
start=$(date +%s)
if [ "$seconds" -eq 0 ]; then
  "$bin" "${options[@]}" -runs=0 "${corpus[@]}" >"$log" 2>&1
else
  "$bin" "${options[@]}" -max_total_time="$seconds" "$work/$name" "${corpus[@]}" >"$log" 2>&1
fi
status=$?
elapsed=$(( $(date +%s) - start ))
after=$(find "$findings" -type f | wc -l)

stat() { grep -a -o "^stat::$1: *[0-9]*" "$log" | tail -1 | grep -o '[0-9]*$'; }
inited=$(grep -a -m1 'INITED' "$log" | grep -o 'cov: [0-9]* ft: [0-9]*')
last=$(grep -a -E '^#[0-9]+' "$log" | tail -1 | grep -o 'cov: [0-9]* ft: [0-9]*')
execs=$(stat number_of_executed_units)
persec=$(stat average_exec_per_sec)
added=$(stat new_units_added)
printf '%-12s %5ss  execs %-10s exec/s %-7s start %-20s end %-20s new inputs %-5s findings %s\n' \
  "$name" "$elapsed" "${execs:-?}" "${persec:-?}" "${inited:-?}" "${last:-${inited:-?}}" "${added:-0}" \
  "$((after - before))"
if [ $status -ne 0 ] || [ "$after" -gt "$before" ]; then
  echo "$name: finding (exit $status), log $log:"
  grep -a -E 'ERROR|SUMMARY|runtime error|fuzz check failed|Test unit written' "$log" | head -20
  ls -t "$findings" | head -5 | sed "s|^|  $findings/|"
  exit 1
fi
exit 0
