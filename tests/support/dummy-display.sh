# Sourced by the test scripts that need an X display whose monitors xrandr
# can lay out (the X.org dummy driver): Xvfb can neither place a monitor left
# of the primary nor grow its screen past the size it started with.
#
# quill_dummy_display_start WORK_FOLDER WIDTH HEIGHT starts such a server,
# whose screen may reach WIDTHxHEIGHT, on a free display, exports DISPLAY,
# and stops it (with the Wine session started on it) when the script exits.

quill_dummy_display_start() {
  local work=$1 width=$2 height=$3
  cat >"$work/xorg.conf" <<CONF
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
    Virtual $width $height
  EndSubSection
EndSection
CONF

  # The server picks a free display and writes its number to descriptor 3.
  Xorg -displayfd 3 -config "$work/xorg.conf" -logfile "$work/xorg.log" -noreset -nolisten tcp -novtswitch \
    -sharevts 3>"$work/display" >/dev/null 2>&1 &
  QUILL_DUMMY_XORG_PID=$!
  trap quill_dummy_display_stop EXIT

  for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    kill -0 "$QUILL_DUMMY_XORG_PID" 2>/dev/null || {
      echo "dummy-display: Xorg ended; see $work/xorg.log" >&2
      return 1
    }
    sleep 0.1
  done
  [[ -s "$work/display" ]] || {
    echo "dummy-display: Xorg did not start within 10 s" >&2
    return 1
  }
  export DISPLAY=":$(head -n 1 "$work/display")"
}

quill_dummy_display_stop() {
  if declare -F quill_wine_stop >/dev/null; then
    quill_wine_stop 2>/dev/null || true
  fi
  kill "$QUILL_DUMMY_XORG_PID" 2>/dev/null || true
  wait "$QUILL_DUMMY_XORG_PID" 2>/dev/null || true
}
