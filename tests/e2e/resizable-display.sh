#!/usr/bin/env bash
# Runs a test executable under Wine on an X display whose screen size can
# change as a monitor's does (the X.org dummy driver; Xvfb keeps the size it
# started with), at 1600x900 with the run command's window manager, and a
# Wine prefix of its own. The test switches the screen with xrandr.
# Usage: resizable-display.sh TEST_EXECUTABLE WORK_FOLDER
set -euo pipefail
exe=$1
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"

cat >"$work/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 64000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 1920 1080
  EndSubSection
EndSection
CONF

# The server picks a free display and writes its number to descriptor 3.
Xorg -displayfd 3 -config "$work/xorg.conf" -logfile "$work/xorg.log" -noreset -nolisten tcp -novtswitch \
  -sharevts 3>"$work/display" >/dev/null 2>&1 &
xorg=$!
quill_wine_stop() { :; }
stop() {
  quill_wine_stop 2>/dev/null || true
  kill "$xorg" 2>/dev/null || true
  wait "$xorg" 2>/dev/null || true
}
trap stop EXIT

for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xorg" 2>/dev/null || { echo "resizable-display: Xorg ended; see $work/xorg.log" >&2; exit 1; }
  sleep 0.1
done
[[ -s "$work/display" ]] || { echo "resizable-display: Xorg did not start within 10 s" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
xrandr --output DUMMY0 --mode 1600x900
# Wine reads the screen's size when its desktop process starts.
for _ in $(seq 50); do
  xdpyinfo | grep -q 'dimensions: *1600x900 ' && break
  sleep 0.1
done

export QUILL_WINEPREFIX="$work/wineprefix"
unset QUILL_OWN_DISPLAY WINEPREFIX
source "$root/scripts/wine-env"
quill_wine_start
quill_window_manager_start
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
export QUILL_WINDOW_MANAGER=1
wine "$exe"
