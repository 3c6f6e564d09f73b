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

source "$root/tests/support/dummy-display.sh"
quill_dummy_display_start "$work" 1920 1080
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
