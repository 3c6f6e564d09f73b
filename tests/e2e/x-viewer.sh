#!/usr/bin/env bash
# Shows a program of another kind than Wine's (ImageMagick's display) in one
# colour, over the whole screen or at WIDTHxHEIGHT+X+Y, as the imaging
# program a dentist works in, and turns to it as a user does: through the
# window manager where one runs, else by raising it and giving it the
# keyboard. Writes "PID WINDOW" to STATE_FILE once it is active.
# Usage: x-viewer.sh COLOUR screen|WIDTHxHEIGHT+X+Y STATE_FILE
set -u
colour=$1
place=$2
state=$3
if [[ $place == screen ]]; then
  place="$(xdpyinfo | awk '/dimensions:/ {print $2; exit}')+0+0"
fi
title="Quillmere test viewer $$"
display -size "${place%%+*}" -geometry "+${place#*+}" -title "$title" "xc:$colour" >/dev/null 2>&1 &
pid=$!
window=""
for _ in $(seq 200); do
  window=$(xdotool search --name "$title" 2>/dev/null | head -n 1)
  [[ -n $window ]] && xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' && break
  window=""
  sleep 0.1
done
[[ -n $window ]] || exit 1
if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  xdotool windowactivate "$window"
else
  xdotool windowraise "$window" windowfocus "$window"
fi
echo "$pid $window" >"$state.part" && mv "$state.part" "$state"
