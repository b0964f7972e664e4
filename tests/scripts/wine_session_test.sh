#!/usr/bin/env bash
# The scripts' Wine session as contributors meet it: a WINEPREFIX of another Wine set-up in the
# environment (whose server runs), and a server already running for the project's prefix.
# Both must go through, with the project's prefix used and the other server left alone; and a
# failing step must end its command with one line naming the step and what to do.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export MURLAVO_BUILD="${MURLAVO_BUILD:-$here/build}"
scratch=$(mktemp -d)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
problems=0
problem() { echo "wine_session_test: $*" >&2; problems=$((problems + 1)); }
cleanup() {
  WINEPREFIX="$scratch/foreign" "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# Another Wine set-up's server, running.
mkdir -p "$scratch/foreign"
WINEPREFIX="$scratch/foreign" "$WINESERVER" -p || { echo "wine_session_test: could not start a server for the foreign prefix"; exit 1; }
# And one for the project's prefix, as an interrupted earlier run leaves it.
(unset MURLAVO_WINEPREFIX; . "$here/scripts/wine-env.sh"; wine_prefix_ready; "$WINESERVER" -p || [ $? -eq 2 ]) \
  || { echo "wine_session_test: could not start a server for the project's prefix"; exit 1; }

# Bounded: a session that waits for the other set-up's server would never end.
out=$(timeout 120 env WINEPREFIX="$scratch/foreign" MURLAVO_BUILD="$MURLAVO_BUILD" bash -c '
  set -e
  unset MURLAVO_WINEPREFIX
  . "$1/scripts/wine-env.sh"
  start_wine_session 640x480x24
  echo "prefix=$WINEPREFIX"
  "$WINE" cmd /c echo session-works 2>/dev/null | tr -d "\r"
' session "$here" 2>&1)
status=$?
[ $status -eq 0 ] || problem "the session did not start (status $status): $out"
grep -qx "prefix=$MURLAVO_BUILD/wineprefix" <<<"$out" || problem "the session did not use the project's prefix: $out"
grep -qx "session-works" <<<"$out" || problem "no program ran in the session: $out"
WINEPREFIX="$scratch/foreign" "$WINESERVER" -p 2>/dev/null
[ $? -eq 2 ] || problem "the foreign prefix's server was stopped or replaced"

# The two-monitor session beside a running session of the project's prefix: it uses a prefix
# and a server of its own, and leaves the other server running; an unknown layout is named.
(unset MURLAVO_WINEPREFIX; . "$here/scripts/wine-env.sh"; "$WINESERVER" -p || [ $? -eq 2 ]) \
  || { echo "wine_session_test: could not start a server for the project's prefix"; exit 1; }
out=$(timeout 180 env MURLAVO_BUILD="$MURLAVO_BUILD" "$here/tests/scripts/two_monitors_run.sh" right \
  cmd /c 'echo prefix=%WINEPREFIX%& echo layout=%MURLAVO_MONITOR_LAYOUT%' 2>&1 | tr -d '\r')
status=$?
[ $status -eq 0 ] || problem "the two-monitor session did not run a program (status $status): $out"
grep -qx "prefix=$MURLAVO_BUILD/wineprefix-monitors" <<<"$out" \
  || problem "the two-monitor session did not use its own prefix: $out"
grep -qx "layout=right" <<<"$out" || problem "the two-monitor session did not name its layout: $out"
WINEPREFIX="$MURLAVO_BUILD/wineprefix" "$WINESERVER" -p 2>/dev/null
[ $? -eq 2 ] || problem "the two-monitor session stopped the server of the project's prefix"
WINEPREFIX="$MURLAVO_BUILD/wineprefix" "$WINESERVER" -k >/dev/null 2>&1
err=$(timeout 60 "$here/tests/scripts/two_monitors_run.sh" above cmd /c echo 2>&1 >/dev/null)
status=$?
[ $status -ne 0 ] && [ "$err" = "unknown monitor layout 'above' (use right or left)" ] \
  || problem "an unknown layout ended with status $status, saying '$err'"

# A failing step: one line on standard error, naming the step and the hint, and its status.
cat >"$scratch/failing.sh" <<SCRIPT
set -euo pipefail
COMMAND="make example"
. "$here/scripts/steps.sh"
step "first step"
true
step "second step" "do this to mend it"
bash -c "exit 3"
SCRIPT
err=$(bash "$scratch/failing.sh" 2>&1 >/dev/null)
status=$?
[ $status -eq 3 ] || problem "a failing step ended with status $status, not its own 3"
[ "$err" = "make example: step 'second step' failed (status 3): do this to mend it" ] \
  || problem "a failing step said: '$err'"

if [ $problems -gt 0 ]; then
  echo "wine_session_test: $problems problem(s)" >&2
  exit 1
fi
echo "wine_session_test: a foreign WINEPREFIX and a running server went through; failing steps say which"
