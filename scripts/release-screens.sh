#!/usr/bin/env bash
# Screenshots for the release, in a Wine prefix of their own on a private Xvfb display:
#  - every dialog at 144 dots per inch ("LogPixels" 144, a 150 % display), to see that each
#    still fits its contents: build/screens/dpi144-<dialog>.png;
#  - the setup program's pages: build/screens/setup-<page>.png.
# Run after a build of build/x64 (make test or make dist).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
export MURLAVO_BUILD="$here/build"
export MURLAVO_WINEPREFIX="$MURLAVO_BUILD/wineprefix-screens"
. "$here/scripts/wine-env.sh"
bin="$here/build/x64/bin"
setup=$(ls "$here"/build/x64/dist/murlavo-*-win64-setup.exe | head -1)
screens="$here/build/screens"
mkdir -p "$screens"

start_wine_session 1600x1200x24
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null

samples() { "$WINE" "$bin/murlavo_samples.exe" "$@"; }
# Waits (up to 30 s) until a top-level window with this title exists.
wait_window() {
  for _ in $(seq 1 300); do
    samples post "$1" 0 0 0 >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "no window \"$1\"" >&2; return 1
}
# Photographs the X window of that title (Wine names its X windows after their titles).
shot() { # title file
  local id
  id=$(xwininfo -root -tree | awk -v t="\"$1" 'index($0, t) { print $1; exit }')
  # A picture, not a test: the window's first paint and the tree's filling have no event of
  # their own to wait for, so give them a moment (as make run does).
  sleep 1.5
  if [ -n "$id" ]; then import -window "$id" "$screens/$2.png"; else import -window root "$screens/$2.png"; fi
  echo "screenshot: build/screens/$2.png"
}

samples make 'C:\Murlavo Samples' >/dev/null
for pair in "options:Options" "about:About Murlavo" "playlist:Add Playlist" "location:Picture Location"; do
  which=${pair%%:*} title=${pair#*:}
  samples dialog "$which" &
  pid=$!
  wait_window "$title"
  shot "$title" "dpi144-$which"
  samples post "$title" 0x111 2 0 >/dev/null  # WM_COMMAND IDCANCEL
  wait $pid || true
done
"$WINE" "$bin/murlavo.exe" &
pid=$!
wait_window "Murlavo Settings"
samples expand "Murlavo Settings" >/dev/null
shot "Murlavo Settings" dpi144-settings
samples post "Murlavo Settings" 0x111 2 0 >/dev/null
wait $pid || true

# The setup's pages at the usual 96 dots per inch: Next (command 1) moves on.
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
"$WINESERVER" -k; "$WINESERVER" -w; "$WINESERVER" -p
"$WINE" "$setup" &
pid=$!
wait_window "Murlavo Setup"
# From the second page on, the setup's title ends with a space.
setup_post() { samples post "Murlavo Setup" "$@" >/dev/null 2>&1 || samples post "Murlavo Setup " "$@" >/dev/null 2>&1; }
for page in welcome licence components folder; do
  shot "Murlavo Setup" "setup-$page"
  [ "$page" = folder ] || setup_post 0x111 1 0   # Next
done
setup_post 0x111 2 0       # Cancel; the setup asks whether to quit
sleep 1
kill "$pid" 2>/dev/null || true
