#!/usr/bin/env bash
# Runs a test executable under Wine on an X display of its own with two
# monitors (the X.org dummy driver; Xvfb cannot place a monitor left of the
# primary): the primary 1280x1024 and a 1024x768 monitor left of it. The test
# gets its own Wine prefix and server, so that the other tests of the run keep
# their one monitor.
# Usage: two-monitors.sh TEST_EXECUTABLE WORK_FOLDER
set -euo pipefail
exe=$1
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"

source "$root/tests/support/dummy-display.sh"
quill_dummy_display_start "$work" 2304 1024
xrandr --addmode DUMMY1 1024x768
xrandr --output DUMMY0 --mode 1280x1024 --pos 1024x0 --primary --output DUMMY1 --mode 1024x768 --pos 0x0
# Wine reads the layout once, when its desktop process starts: wait until the
# server reports it in full.
for _ in $(seq 50); do
  [[ $(xrandr --listmonitors | head -n 1) == "Monitors: 2" ]] &&
    xrandr --query | grep -q "DUMMY1 connected 1024x768+0+0" && break
  sleep 0.1
done

# A task bar along the bottom of the primary, as the work area tells it:
# the picker's overlay must leave it out.
xprop -root -format _NET_WORKAREA 32c -set _NET_WORKAREA "1024,0,1280,984"

export QUILL_WINEPREFIX="$work/wineprefix"
unset QUILL_OWN_DISPLAY WINEPREFIX
source "$root/scripts/wine-env"
quill_wine_start
# No window manager runs on this display either.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine "$exe"
