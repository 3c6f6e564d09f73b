#!/usr/bin/env bash
# Runs a test program under Wine on a display of two monitors: the X.org
# dummy driver with a 1024 x 768 monitor left of a 1280 x 1024 primary (Xvfb
# cannot give Wine several monitors). The display and a Wine prefix of its
# own (Wine takes the monitor layout from the prefix's desktop process) live
# only for this run, bounded in time.
#     two-monitors.sh <test program.exe> [arguments]
set -euo pipefail
program=$1
shift

work=$(mktemp -d)
xorg_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
  if [[ -n "$xorg_pid" ]]; then
    kill "$xorg_pid" 2>/dev/null || true
    wait "$xorg_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/xorg-dummy.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoAddGPU" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "Monitor0"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Monitor"
    Identifier "Monitor1"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "Screen0"
    Device "dummy"
    Monitor "Monitor0"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2304 1024
    EndSubSection
EndSection
CONF

number=""
for candidate in $(seq 160 220); do
  if [[ ! -e /tmp/.X11-unix/X$candidate && ! -e /tmp/.X$candidate-lock ]]; then
    number=$candidate
    break
  fi
done
[[ -n "$number" ]] || { echo "two-monitors: no free display number" >&2; exit 1; }

timeout 600 Xorg ":$number" -config "$work/xorg-dummy.conf" -noreset -nolisten tcp -novtswitch -sharevts \
  -logfile "$work/xorg.log" >/dev/null 2>&1 &
xorg_pid=$!
export DISPLAY=":$number"
waited=0
until xdpyinfo >/dev/null 2>&1; do
  sleep 0.1
  waited=$((waited + 1))
  if ((waited > 100)); then
    echo "two-monitors: the dummy X server did not start" >&2
    exit 1
  fi
done
xrandr --addmode DUMMY1 1024x768
xrandr --output DUMMY0 --mode 1280x1024 --pos 1024x0 --primary --output DUMMY1 --mode 1024x768 --pos 0x0

# Wine reads the layout once, when its desktop process starts: wait until
# the server reports it.
waited=0
until xrandr --query | grep -q "DUMMY1 connected 1024x768+0+0"; do
  sleep 0.1
  waited=$((waited + 1))
  if ((waited > 50)); then
    echo "two-monitors: the monitor layout did not take" >&2
    exit 1
  fi
done
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot >/dev/null 2>&1
# No window manager runs on this display either.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 300 wine "$program" "$@"
