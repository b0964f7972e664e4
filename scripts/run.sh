#!/usr/bin/env bash
# make run: installs what is missing, builds the Windows program and shows it working in a
# Wine virtual desktop (1024x768) on a private Xvfb display when DISPLAY is unset, or on the
# user's display otherwise. Screenshots go to build/screens/.
set -euo pipefail
COMMAND="make run"
. "$(dirname "$0")/build-env.sh"
step "build: Windows x86-64 (the program and its samples)" "the compiler's messages are above"
configure_x64
cmake --build build/x64 --target murlavo murlavo_samples -j "$jobs"
step "the demo in a Wine desktop"

# A prefix of its own: the demo makes the virtual desktop the default for every program it
# starts, which the tests' prefix must not have.
export MURLAVO_WINEPREFIX="$MURLAVO_BUILD/wineprefix-demo"
. "$here/scripts/wine-env.sh"
own_display=0
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ "$own_display" = 1 ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb 1024x768x24 || fail "could not start Xvfb (is the xvfb package installed?)"
  own_display=1
fi
wine_prefix_ready
start_wine_server
# Every program of the demo runs in the 1024x768 virtual desktop "Murlavo", with a taskbar and
# its notification area. The desktop starts with the first program that runs in it, so its
# settings come first and the default desktop last.
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Murlavo /d 1024x768 /f >/dev/null
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops\Murlavo' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null
"$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Murlavo /f >/dev/null

screens="$here/build/screens"
mkdir -p "$screens"
exe=$("$WINE" winepath -w "$here/build/x64/bin/murlavo.exe" 2>/dev/null)

shot() { # name
  if [ "$own_display" = 1 ]; then
    import -display "$DISPLAY" -window root "$screens/$1.png" && echo "screenshot: build/screens/$1.png"
  fi
}

in_desktop() { "$WINE" "$@"; }
samples() { "$WINE" "$here/build/x64/bin/murlavo_samples.exe" "$@"; }
reg_dword() { "$WINE" reg add 'HKCU\Software\Orvane Inc.\Murlavo\Changer' /v "$1" /t REG_DWORD /d "$2" /f >/dev/null; }

echo "== Murlavo in a Wine desktop on $DISPLAY"
# Sample pictures (bitmap, JPEG, a phone photo stored on its side, a PNG with transparency,
# TGA; one tiled) in a Now Playing playlist, and the options.
samples make 'C:\Murlavo Samples'
reg_dword Interval 10
reg_dword Order 1
reg_dword FitToScreen 0
reg_dword SlideShow 3
reg_dword BkgndColor $((0x402010))

# The wallpaper changer: hidden, with its icon in the notification area. A double click on
# the icon changes the wallpaper at once; each change is photographed.
in_desktop "$exe" /v &
changer=$!
sleep 4
for i in 1 2 3 4 5 6; do
  samples post Murlavo 0x700 128 0x203   # WM_TRAYNOTIFY, icon 128, WM_LBUTTONDBLCLK
  sleep 3
  samples refresh
  sleep 1
  shot "wallpaper-$i"
done

# The preview inside a stand-in display-settings window.
samples preview 6 &
sleep 4
shot preview
wait $! || true

# The full-screen screen saver: a slide show of the same pictures; a key press ends it.
in_desktop "$exe" /s &
saver=$!
sleep 5
shot saver
samples post Wallpaper 0x100 0x41 1     # WM_KEYDOWN
wait $saver || true

# The Options and About dialogs, as the Settings dialog and the icon's menu open them; the
# About box shows the "Custom" title and links.
reg_custom() { "$WINE" reg add 'HKCU\Software\Orvane Inc.\Murlavo\Custom' /v "$1" /d "$2" /f >/dev/null; }
reg_custom Title "Murlavo Picture Desk"
reg_custom WebPage "http://pictures.example/"
reg_custom EMail "pictures@pictures.example"
samples dialog options &
dialog=$!
sleep 3
shot options
samples post Options 0x111 2 0          # WM_COMMAND IDCANCEL
wait $dialog || true
samples dialog about &
dialog=$!
sleep 3
shot about
samples post "About Murlavo" 0x111 2 0
wait $dialog || true
samples dialog playlist &
dialog=$!
sleep 3
shot add-playlist
samples post "Add Playlist" 0x111 2 0
wait $dialog || true
samples dialog location &
dialog=$!
sleep 3
shot location
samples post "Picture Location" 0x111 2 0
wait $dialog || true

# The Settings dialog: the program without a switch, on the sample library; the Now Playing
# playlist is selected, and every playlist is opened for the picture.
in_desktop "$exe" &
settings=$!
sleep 4
samples expand "Murlavo Settings"
sleep 1
shot settings
samples post "Murlavo Settings" 0x111 2 0
wait $settings || true

# The icon's menu (a right click on the icon: WM_TRAYNOTIFY with WM_RBUTTONUP) and the
# full-screen show it starts ("&Murlavo"), which Escape ends.
samples post Murlavo 0x700 128 0x205
sleep 2
shot tray-menu
samples post Murlavo 0x1F 0 0           # WM_CANCELMODE closes the menu
sleep 1
samples post Murlavo 0x111 32780 0      # WM_COMMAND "&Murlavo"
sleep 3
shot full-screen-show
samples post Murlavo 0x100 0x1B 0       # WM_KEYDOWN Escape
sleep 1

samples post Murlavo 0x10 0 0           # WM_CLOSE ends the wallpaper changer
wait $changer || true
"$WINESERVER" -k >/dev/null 2>&1 || true

step "the wallpaper and the screen saver on two monitors"
# Two monitors of different sizes, the second left of the primary, in a display and a Wine
# session of their own (scripts/wine-monitors.sh). Wine shows no desktop background outside a
# virtual desktop, which would be one monitor: the composed wallpaper bitmap is shown as the
# desktop tiles it from the primary monitor's corner, and the saver as it covers both monitors.
(
  unset MURLAVO_WINEPREFIX
  . "$here/scripts/wine-monitors.sh"
  start_two_monitor_session left
  exe=$("$WINE" winepath -w "$here/build/x64/bin/murlavo.exe" 2>/dev/null)
  samples make 'C:\Murlavo Samples'
  reg_dword Order 1
  reg_dword FitToScreen 1
  reg_dword SlideShow 3
  reg_dword Monitors 1
  "$WINE" "$exe" /v &
  changer=$!
  sleep 4
  samples post Murlavo 0x700 128 0x203
  sleep 4
  wallpaper=$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
  wallpaper=$("$WINE" winepath -u "$wallpaper\Murlavo Wallpaper.bmp" 2>/dev/null)
  # The desktop from its left edge: the canvas rolled by the left monitor's width.
  convert "$wallpaper" -roll +1024+0 "$screens/two-monitors-wallpaper.png" \
    && echo "screenshot: build/screens/two-monitors-wallpaper.png"
  samples post Murlavo 0x10 0 0
  wait $changer || true
  "$WINE" "$exe" /s &
  saver=$!
  sleep 6
  import -display "$DISPLAY" -window root "$screens/two-monitors-saver.png" \
    && echo "screenshot: build/screens/two-monitors-saver.png"
  samples post Wallpaper 0x100 0x41 1
  wait $saver || true
)
echo "done: the wallpaper changer with its menu and full-screen show, the preview, the screen saver, the Settings dialog, the other dialogs and two monitors ran; screenshots in build/screens/"
steps_report
