#!/usr/bin/env bash
# The setup program end to end under Wine, in a prefix of its own made afresh (not the tests'
# prefix: the setup writes Program Files, the system folder and the machine's registry):
# silent install, checks, silent uninstall, checks; then again with the command-line options;
# updates over a running program, the pages clicked through, and files held open.
# installer_test.sh <setup.exe> <staged release folder> <dist_install_check.exe> <prefix folder>
set -euo pipefail
setup=$1 stage=$2 checker=$3 prefix=$4
here=$(cd "$(dirname "$0")/../.." && pwd)

export MURLAVO_WINEPREFIX=$prefix
. "$here/scripts/wine-env.sh"
[ -n "${DISPLAY:-}" ] || { echo "needs DISPLAY (scripts/test.sh starts Xvfb)"; exit 1; }
export MURLAVO_DIST_STAGE="Z:${stage//\//\\}"
export MURLAVO_DIST_SETUP="Z:${setup//\//\\}"

stop_wine() { timeout 30 "$WINESERVER" -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
stop_wine
rm -rf "$prefix"
echo "== a fresh prefix"
timeout 120 bash -c 'wine_prefix_ready() { mkdir -p "$WINEPREFIX"; "$WINE" wineboot -i >/dev/null 2>&1 || true; "$WINESERVER" -w; }; wine_prefix_ready' \
  || { echo "wineboot did not finish"; exit 1; }
[ -f "$prefix/system.reg" ] || { echo "no prefix made in $prefix"; exit 1; }
"$WINESERVER" -p
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

phase() { # gtest suite name
  echo "== check: $1"
  local out
  out=$(timeout 120 "$WINE" "$checker" --gtest_brief=1 --gtest_filter="$1.*" 2>&1) || { echo "$out"; return 1; }
  echo "$out"
  # A phase that names no test checks nothing.
  if echo "$out" | grep -q '\[==========\] 0 tests'; then echo "no test in phase $1"; return 1; fi
}
run() { # what, command...
  local what=$1; shift
  echo "== $what: $*"
  timeout 120 "$WINE" "$@" || { echo "$what failed ($?)"; return 1; }
}
# The uninstaller copies itself to the temporary folder, starts that copy and ends at once:
# its end is the end of every program of the prefix (the persistent server stays).
uninstall() { # options...
  run uninstall 'C:\Program Files\Murlavo\uninstall.exe' "$@"
  for _ in $(seq 1 600); do
    pgrep -f -u "$(id -u)" '~nsu[^ ]*\.tmp.Un[^ ]*\.exe' >/dev/null || return 0
    sleep 0.1
  done
  echo "the uninstaller did not end"; return 1
}

status=0
phase Prepare || status=1
run setup "$setup" /S || status=1
phase Installed || status=1
uninstall /S || status=1
phase Uninstalled || status=1
phase PrepareQuiet || status=1
run setup "$setup" /S /NOSTARTUP /NOSAVER || status=1
phase InstalledQuiet || status=1
phase UpdateWhileRunning || status=1
uninstall /S /REMOVEUSERDATA || status=1
phase RemovedWithUserData || status=1
phase Interactive || status=1
phase InUse || status=1
# What waits for the restart (PendingFileRenameOperations) is done by wineboot's restart.
echo "== restart"
timeout 60 "$WINE" wineboot -r || status=1
phase RemovedAtRestart || status=1
exit $status
