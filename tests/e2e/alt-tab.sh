#!/usr/bin/env bash
# Alt+Tab as a user presses it under openbox: Alt is held until openbox shows
# its list of windows, then let go. Sent at xdotool's pace, Alt's release can
# reach the server before openbox has taken the keyboard for the list; openbox
# then waits for a release it never sees and keeps the keyboard, and no window
# comes back. On a busy machine openbox now and then shows no list for the
# press at all; like a user, the script lets go and presses again. Alt is
# never held for more than a few seconds, so that the keys a test sends next
# do not reach a program as Alt+key.
set -u
manager=$(xprop -root _NET_SUPPORTING_WM_CHECK | awk '{print $NF}')
mask=0x1fffff
# The list is a window of openbox's own, mapped over the others; the window
# openbox names itself by is one too, always mapped, off the screen.
list_shown() {
  local window
  for window in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    if (( window != manager && (window & ~mask) == (manager & ~mask) )) &&
       xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' &&
       xwininfo -id "$window" 2>/dev/null | grep -q 'Override Redirect State: yes'; then
      return 0
    fi
  done
  return 1
}
for _ in $(seq 5); do
  xdotool keydown alt key Tab
  for _ in $(seq 30); do
    if list_shown; then
      xdotool keyup alt
      exit 0
    fi
    sleep 0.1
  done
  xdotool keyup alt
done
exit 1
