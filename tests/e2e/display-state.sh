#!/usr/bin/env bash
# What the display says about the windows given (X ids, decimal): which has
# the keyboard (the window manager's active window, or without one the X
# input focus), which lies on top of the window manager's stacking order, and
# which ask for attention. Writes to STATE_FILE:
#   active ID / top ID / attention ID...   (IDs in decimal, 0 for none)
# Usage: display-state.sh WINDOW... STATE_FILE
set -u
state=${!#}
windows=("${@:1:$#-1}")
to_decimal() { printf '%d' "${1:-0}" 2>/dev/null || echo 0; }
if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  active=$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')
  top=$(xprop -root _NET_CLIENT_LIST_STACKING | awk '{print $NF}')
else
  active=$(xdotool getwindowfocus)
  top=0
fi
attention=""
for window in "${windows[@]}"; do
  xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_DEMANDS_ATTENTION &&
    attention="$attention $window"
done
{
  echo "active $(to_decimal "$active")"
  echo "top $(to_decimal "${top%,}")"
  echo "attention$attention"
} >"$state.part" && mv "$state.part" "$state"
