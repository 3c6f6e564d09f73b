#!/usr/bin/env bash
# Alt+Tab as a user presses it under openbox: Alt is held until openbox shows
# its list of windows, then let go. Sent at xdotool's pace, Alt's release can
# reach the server before openbox has taken the keyboard for the list; openbox
# then waits for a release it never sees and keeps the keyboard, and no window
# comes back.
set -u
xdotool keydown alt key Tab
manager=$(xprop -root _NET_SUPPORTING_WM_CHECK | awk '{print $NF}')
mask=0x1fffff
# The list is a window of openbox's own, mapped over the others; the window
# openbox names itself by is one too, always mapped, off the screen.
list_shown() {
  local window
  for window in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    if (( window != manager && (window & ~mask) == (manager & ~mask) )) &&
       xwininfo -id "$window" | grep -q 'Map State: IsViewable' &&
       xwininfo -id "$window" | grep -q 'Override Redirect State: yes'; then
      return 0
    fi
  done
  return 1
}
# Bounded, so that the key is let go even where no list shows.
for _ in $(seq 300); do
  list_shown && break
  sleep 0.1
done
xdotool keyup alt
