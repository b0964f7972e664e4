#!/usr/bin/env bash
# two_monitors_run.sh LAYOUT PROGRAM [ARGUMENTS...]: runs the Windows PROGRAM under Wine on a
# private display cut into two monitors (scripts/wine-monitors.sh; LAYOUT is right or left) and
# ends with its exit status. The program finds the layout in MURLAVO_MONITOR_LAYOUT.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
: "${MURLAVO_BUILD:=$here/build}"
export MURLAVO_BUILD
if [ $# -lt 2 ]; then
  echo "usage: $0 right|left PROGRAM [ARGUMENTS...]" >&2
  exit 2
fi
layout=$1
shift
. "$here/scripts/wine-monitors.sh"
start_two_monitor_session "$layout"
# In the background, so that a signal stops the program and the EXIT trap still stops the
# session's display and server.
"$WINE" "$@" &
program=$!
trap 'kill "$program" 2>/dev/null; exit 143' TERM HUP
trap 'kill "$program" 2>/dev/null; exit 130' INT
wait "$program"
