# Sourced by the tests that need two monitors: a private display cut into two monitors of
# different sizes and a Wine session that sees them. Needs $MURLAVO_BUILD (the build folder).
#
# Wine reads the monitors through Xinerama, which follows the display's RandR monitors, when its
# X11 driver is told not to use XRandR. Those settings live in a prefix of its own
# ($MURLAVO_BUILD/wineprefix-monitors), made once per build folder, so the normal session (its
# prefix, display and server) is not touched and runs beside this one. Wine learns the monitors
# when its server starts, so every session starts a server of its own.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# The display: one screen wide enough for both monitors side by side.
MONITORS_SCREEN=2304x1024x24

# monitors_layout LAYOUT: the xrandr --setmonitor arguments for each monitor, one per line.
#   right: the primary 1280x1024 at the left edge, the second 1024x768 to its right, 128 lower.
#   left:  the same two with the second at the left edge; Wine puts the primary at the origin,
#          so the second lies at negative x.
# The primary monitor takes the screen's own output, replacing the monitor that output has
# by itself, and so the display holds exactly these two.
monitors_layout() {
  case "$1" in
    right) printf '%s\n' "*primary 1280/339x1024/271+0+0 screen" "second 1024/271x768/203+1280+128 none" ;;
    left) printf '%s\n' "*primary 1280/339x1024/271+1024+0 screen" "second 1024/271x768/203+0+128 none" ;;
    *) return 1 ;;
  esac
}

# Makes the prefix once: Wine's own files, then the X11 driver's settings. A marker written last
# tells a finished prefix from one whose making was interrupted, which is made again.
monitors_prefix_ready() {
  local marker="$WINEPREFIX/.murlavo-monitors"
  [ -f "$marker" ] && return 0
  if [ -d "$WINEPREFIX" ]; then
    rm -rf "$WINEPREFIX" || wine_fail "could not remove the unfinished Wine prefix $WINEPREFIX (remove it by hand)"
  fi
  wine_prefix_ready
  start_wine_server
  # No window manager runs on the display (Managed=N, as in the normal session); without a
  # virtual desktop, which a new prefix does not have, windows go straight onto the monitors.
  local value
  for value in UseXRandR Managed; do
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f >/dev/null 2>&1 \
      || wine_fail "could not set up the Wine prefix $WINEPREFIX (remove the folder; it is made again)"
  done
  # The server writes the registry to the prefix when it stops.
  timeout 30 "$WINESERVER" -k >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
  grep -q '"UseXRandR"="N"' "$WINEPREFIX/user.reg" 2>/dev/null \
    || wine_fail "the Wine prefix $WINEPREFIX did not keep its settings (remove the folder; it is made again)"
  touch "$marker"
}

# start_two_monitor_session LAYOUT (right or left): a private display with the two monitors of
# LAYOUT and a running Wine server for the prefix, both stopped when the script exits. Sets
# DISPLAY, WINEPREFIX and MURLAVO_MONITOR_LAYOUT.
start_two_monitor_session() {
  local layout=$1 monitor
  local -a monitors
  mapfile -t monitors < <(monitors_layout "$layout")
  [ ${#monitors[@]} -eq 2 ] \
    || wine_fail "unknown monitor layout '$layout' (use right or left)"
  [ -n "${MURLAVO_BUILD:-}" ] \
    || wine_fail "MURLAVO_BUILD is not set (set it to the build folder, which keeps the Wine prefix)"
  export WINEPREFIX="$MURLAVO_BUILD/wineprefix-monitors"
  export MURLAVO_MONITOR_LAYOUT=$layout
  trap stop_wine_session EXIT
  # The display must not reset when xrandr, its only client yet, disconnects: the reset would
  # drop the monitors.
  start_xvfb "$MONITORS_SCREEN" -noreset \
    || wine_fail "could not start Xvfb for the two-monitor display (is the xvfb package installed?)"
  for monitor in "${monitors[@]}"; do
    # shellcheck disable=SC2086 # name, geometry and output are three words
    xrandr --setmonitor $monitor >/dev/null 2>&1 \
      || wine_fail "could not cut the display into monitors with 'xrandr --setmonitor $monitor' (is the x11-xserver-utils package installed?)"
  done
  xrandr --listmonitors 2>/dev/null | grep -qx 'Monitors: 2' \
    || wine_fail "the display does not hold the two monitors xrandr was given ('DISPLAY=$DISPLAY xrandr --listmonitors' shows what it holds)"
  monitors_prefix_ready
  start_wine_server
}
