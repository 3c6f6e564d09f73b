#!/usr/bin/env bash
# The run command in a Wine session that another program of the user's uses
# (the fake analysis server, which the analyses reach), without a display of
# the user's: a first run command opens A; later ones hand over B in Windows
# form and a Linux path with Chinese names, and end with 0. Ctrl+C to the
# first ends the program through its own stop (settings written, no picture
# copy left), then its display. The other program lives throughout. The Wine
# prefix is the test's own.
# Usage: run-command.sh BUILD_FOLDER WORK_FOLDER
set -euo pipefail
build=$1
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
# Wine reads non-ASCII Linux names right only under a UTF-8 locale.
export LANG=C.UTF-8

export QUILL_WINEPREFIX="$work/wineprefix"
export QUILL_OWN_DISPLAY=1
unset WINEPREFIX
source "$root/scripts/wine-env"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if ((failures > 0)); then
    for log in "$work"/*.log; do
      echo "== $log" >&2
      cat "$log" >&2
    done
  fi
  quill_wine_stop
}
trap finish EXIT
quill_wine_start

# The machine may be busy: a state gets 60 s to come; the rest of the test
# needs it.
wait_until() {
  local what=$1
  shift
  for _ in $(seq 600); do
    "$@" && return 0
    sleep 0.1
  done
  fail "$what"
  exit 1
}
ended() { ! kill -0 "$1" 2>/dev/null; }
title_is() {
  [[ "$(DISPLAY=$first_display xdotool search --name '^Quillmere' getwindowname 2>/dev/null)" == "Quillmere - $1" ]]
}
requests_are() { (($(grep -cs '^request' "$work/server.log") == $1)); }
temp_pictures() { find "$QUILL_WINEPREFIX/drive_c/users" -path '*/Temp/*' -name '*.jpg' | wc -l; }
settings() { find "$QUILL_WINEPREFIX/drive_c/users" -path '*/Vantorel/Quillmere/Setting.ini'; }
the_other_lives() { kill -0 "$other" 2>/dev/null || fail "the other program ended $1"; }
run_command=(env -u DISPLAY -u QUILL_OWN_DISPLAY -u QUILL_WINDOW_MANAGER WINEPREFIX="$QUILL_WINEPREFIX"
  bash "$root/scripts/launch" "$build")

wine "$build/tests/fakes/fake_analysis_server.exe" 5555 "$(winepath -w "$root/tests/fakes/demo.scenario")" \
  >"$work/server.log" 2>&1 &
other=$!
wait_until "the other program listens" grep -qs listening "$work/server.log"

"$root/scripts/make-sample-panoramic" "$work/A.jpg"
cp "$work/A.jpg" "$work/B.jpg"
mkdir -p "$work/掃描 片"
linux_path="$work/掃描 片/圖片 C.jpg"
cp "$work/A.jpg" "$linux_path"

# Its own process group, as a terminal starts a job: the group gets the Ctrl+C.
set -m
"${run_command[@]}" /file "$(winepath -w "$work/A.jpg")" >"$work/first.log" 2>&1 &
first=$!
set +m
first_display_server() { xvfb=$(pgrep -P "$first" -x Xvfb); }
wait_until "the first run command starts a display" first_display_server
first_display=$(ps -o args= -p "$xvfb" | cut -d ' ' -f 2)
wait_until "the first run command shows A" title_is "$(winepath -w "$work/A.jpg")"
wait_until "the program has A analysed" requests_are 1
(($(temp_pictures) > 0)) || fail "no copy of A in the temporary folder while the program runs"

# Later run commands with a picture in Windows form and in Linux form; the
# program shows each in Windows form.
count=1
for argument in "$(winepath -w "$work/B.jpg")" "$linux_path"; do
  count=$((count + 1))
  "${run_command[@]}" /file "$argument" >"$work/later-$count.log" 2>&1 &
  later=$!
  wait_until "the run command with $argument ends" ended "$later"
  status=0
  wait "$later" || status=$?
  ((status == 0)) || fail "the run command with $argument ended with $status"
  wait_until "the running program shows $argument" title_is "$(winepath -w "$argument")"
  wait_until "the program has $argument analysed" requests_are "$count"
  kill -0 "$first" 2>/dev/null || fail "the first run command ended with the run command for $argument"
  the_other_lives "with the run command for $argument"
done

# A later start writes the settings as well: the running program's own stop
# writes them again.
rm -f "$(settings)"
kill -INT -- -"$first"
wait_until "the first run command ends after Ctrl+C" ended "$first"
status=0
wait "$first" || status=$?
((status == 0)) || fail "the first run command ended with $status after Ctrl+C"
ended "$xvfb" || fail "the first run command left its display running"
! grep -q 'openbox ended during the run' "$work/first.log" || fail "Ctrl+C ended the window manager"
[[ -n "$(settings)" ]] || fail "the program ended without writing the settings"
(($(temp_pictures) == 0)) || fail "a copy of a picture stays in the temporary folder"
the_other_lives "with the first run command"
((failures == 0))
