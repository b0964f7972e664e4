# Sourced by the scripts: the private Wine prefix of a build folder and quiet Wine.
# Needs $MURLAVO_BUILD (the build folder).
# The prefix is the build folder's own, or the one MURLAVO_WINEPREFIX names. A WINEPREFIX in the
# caller's environment belongs to another Wine set-up and is not used.
export WINEPREFIX="${MURLAVO_WINEPREFIX:-$MURLAVO_BUILD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: the program needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
# The 64-bit loader directly: the 'wine' wrapper only adds a warning about missing 32-bit Wine.
if [ -x /usr/lib/wine/wine64 ]; then
  WINE=/usr/lib/wine/wine64
else
  WINE=$(command -v wine64 || command -v wine)
fi
export WINE
export WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

# Creates the prefix once per build folder.
wine_prefix_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX" || wine_fail "could not make the Wine prefix folder $WINEPREFIX"
    timeout 180 "$WINE" wineboot -i >/dev/null 2>&1 || true
    timeout 60 "$WINESERVER" -w || true
    [ -f "$WINEPREFIX/system.reg" ] \
      || wine_fail "could not make the Wine prefix $WINEPREFIX (wineboot did not finish; remove the folder and try again)"
  fi
}

# One line saying what failed and what to do, then the end (the steps' fail when sourced
# beside them).
wine_fail() {
  if declare -F fail >/dev/null; then fail "$@"; fi
  echo "$*" >&2
  exit 1
}

# Starts the prefix's Wine server and keeps it running until wineserver -k. A server already
# running for the prefix (an earlier run that was interrupted, another command) is stopped and
# started again as this session's.
start_wine_server() {
  local attempt
  for attempt in 1 2 3 4 5; do
    "$WINESERVER" -p 2>/dev/null && return 0
    timeout 30 "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
  done
  wine_fail "could not start the Wine server for $WINEPREFIX: a server for it is still running (stop it with 'WINEPREFIX=$WINEPREFIX wineserver -k')"
}

# start_xvfb [SIZE [XVFB OPTIONS...]]: an Xvfb on a free display; sets DISPLAY and XVFB_PID.
start_xvfb() {
  local size="${1:-1024x768x24}" fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp "${@:2}" 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local num
  read -r -t 20 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ]; then
    return 1
  fi
  export DISPLAY=":$num"
}

# Stops the Wine server and the private display (for an EXIT trap).
stop_wine_session() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}

# A private display of the given size (e.g. 1024x768x24) and a warm Wine session, stopped
# when the script exits. The server stays up between programs, so every test process starts
# warm. No window manager runs on the private display: windows Wine leaves unmanaged are
# hidden at once, instead of after two seconds spent waiting for a manager to withdraw them.
start_wine_session() {
  trap stop_wine_session EXIT
  start_xvfb "$1" || wine_fail "could not start Xvfb (is the xvfb package installed?)"
  wine_prefix_ready
  start_wine_server
  "$WINE" wineboot >/dev/null 2>&1 || true
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 \
    || wine_fail "could not start Wine programs in $WINEPREFIX (try removing the folder; it is made again)"
}
