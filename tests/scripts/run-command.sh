#!/usr/bin/env bash
# The run command as a user types it: in a terminal (a pseudo-terminal of the
# test's, see in-terminal.py) on a display of the user's with a window manager
# (the test's Xvfb and openbox) or with none, in a Wine prefix where another
# program of the user's runs (notepad on the user's display, the test's
# analysis server beside a display of the run command's own). Each row starts
# the program on a picture, with no settings file yet so that the program's
# own stop writes one, in the test's Wine session or in one the run command
# starts, and ends it by Ctrl+C typed into the terminal (after the window,
# twice, or during Wine's start) or by closing the terminal. Afterwards the
# settings are written unless the start was stopped, no copy of a picture
# stays in the temporary folder, nothing the run command started runs (the
# Wine session's own processes aside while notepad uses them), and the other
# program still runs, what notepad copies reaching X. The second row also
# hands pictures over by later run commands, missing paths among them, and a
# demo run command's sample, analysed by the server it starts. Last, a
# program that fails: the run command ends with its status. The Wine prefix
# is the test's own.
# Usage: run-command.sh BUILD_FOLDER WORK_FOLDER
set -euo pipefail
build=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
export LANG=C.UTF-8

export QUILL_WINEPREFIX="$work/wineprefix"
export QUILL_OWN_DISPLAY=1
export QUILL_WINDOW_MANAGER=1
unset WINEPREFIX
source "$root/scripts/wine-env"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if ((failures > 0)); then
    for log in "$work"/*.log "$build/run.log"; do
      echo "== $log" >&2
      cat "$log" >&2
    done
  fi
  quill_wine_stop
}
trap finish EXIT
quill_wine_start
user_display=$DISPLAY

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
ended_with() {
  local status=0
  wait_until "$3 ends" ended "$1"
  wait "$1" || status=$?
  ((status == $2)) || fail "$3 ended with $status"
}
title_is() {
  [[ "$(DISPLAY=$1 xdotool search --name '^Quillmere' getwindowname 2>/dev/null)" == "Quillmere - $2" ]]
}
server_listens() { [[ -n "$(ss -Hltn "sport = :5555")" ]]; }
requests_are() { (($(grep -cs '^request' "$1") == $2)); }
temp_pictures() { find "$QUILL_WINEPREFIX/drive_c/users" -path '*/Temp/*' -name '*.jpg' | wc -l; }
settings() { find "$QUILL_WINEPREFIX/drive_c/users" -path '*/Vantorel/Quillmere/Setting.ini'; }

# Every process a command started carries the mark it was started with:
# "PID NAME" lines.
marked() {
  local environ pid
  for environ in $(grep -lsxzF "QUILL_TEST_MARK=$1" /proc/[0-9]*/environ); do
    pid=${environ//[!0-9]/}
    echo "$pid $(cat "/proc/$pid/comm" 2>/dev/null)"
  done
}
pid_of() { marked "$1" | awk -v name="$2" '$2 == name { print $1; found = 1 } END { exit !found }'; }
display_of() { ps -o args= -p "$(pid_of "$1" Xvfb)" | cut -d ' ' -f 2; }
# Nothing of a MARK runs; with 1, the Wine session's own processes aside,
# which a program of the user's still uses.
nothing_left() {
  local session='^$'
  [[ "$2" == 0 ]] || session='^[0-9]+ (wineserver[0-9]*|(services|explorer|winedevice|plugplay|svchost|rpcss)\.exe)$'
  [[ -z "$(marked "$1" | grep -Ev "$session")" ]]
}

# Notepad on the user's display, started when the session is up.
start_notepad() {
  env QUILL_TEST_MARK=notepad DISPLAY="$user_display" wine notepad >/dev/null 2>&1 &
  wait_until "notepad shows" pid_of notepad notepad.exe
  notepad=$(pid_of notepad notepad.exe)
  wait_until "notepad shows" eval 'DISPLAY=$user_display xdotool search --all --pid "$notepad" --name Notepad >/dev/null'
}
clipboard_is() { [[ "$(DISPLAY=$user_display timeout 5 xclip -o -selection clipboard 2>/dev/null)" == "$1" ]]; }
# The other program: the test's analysis server beside a display of the run
# command's own (a Wine window on another display than the program's breaks
# the program's close), notepad on the user's display.
the_other_lives() {
  if [[ "$on" == own ]]; then
    kill -0 "$server" 2>/dev/null || fail "the test's analysis server ended $1"
    return
  fi
  kill -0 "$notepad" 2>/dev/null || { fail "notepad ended $1" && return; }
  local text="copied by notepad $1"
  local window
  window=$(DISPLAY=$user_display xdotool search --all --pid "$notepad" --name Notepad | head -1)
  DISPLAY=$user_display timeout 20 xdotool windowactivate --sync "$window" key ctrl+a BackSpace type "$text"
  DISPLAY=$user_display xdotool key ctrl+a ctrl+c
  wait_until "what notepad copies reaches X $1" clipboard_is "$text"
}

# The run command on the DISPLAY (own or user's) with a MARK, in `command`.
command_for() {
  command=(env -u QUILL_OWN_DISPLAY -u QUILL_WINDOW_MANAGER -u QUILL_WINEPREFIX)
  if [[ "$1" == own ]]; then
    command+=(-u DISPLAY)
  else
    command+=(DISPLAY="$user_display")
  fi
  command+=(WINEPREFIX="$QUILL_WINEPREFIX" QUILL_TEST_MARK="$2" bash "$root/scripts/launch" "$build")
}
# Usage: run_command DISPLAY MARK [ARGUMENTS...]
run_command() {
  command_for "$1" "$2"
  shift 2
  "${command[@]}" "$@"
}
# ... typed into a terminal of its own, whose process is `terminal`.
run_in_terminal() {
  command_for "$1" "$2"
  python3 "$here/in-terminal.py" "$work/$2.log" "${command[@]}" "${@:3}" &
  terminal=$!
}
press_ctrl_c() { kill -USR1 "$terminal"; }
close_terminal() { kill -USR2 "$terminal"; }

wine "$build/tests/fakes/fake_analysis_server.exe" 5555 "$(winepath -w "$root/tests/fakes/demo.scenario")" \
  >"$work/server.log" 2>&1 &
server=$!
wait_until "the test's analysis server listens" grep -qs listening "$work/server.log"

"$root/scripts/make-sample-panoramic" "$work/A.jpg"
cp "$work/A.jpg" "$work/B.jpg"
mkdir -p "$work/掃描 片"
linux_path="$work/掃描 片/圖片 C.jpg"
cp "$work/A.jpg" "$linux_path"
sample=$(winepath -w "$build/Sample/Panoramic.jpg")

# Each row: the display; whose Wine session (the test's, or one the run
# command starts); how the run command is ended.
rows=(
  "own|test's|Ctrl+C"
  "user's|test's|Ctrl+C"
  "own|run's|Ctrl+C during Wine's start"
  "user's|run's|Ctrl+C twice"
  "user's|run's|the terminal closed"
)
row=0
for entry in "${rows[@]}"; do
  IFS='|' read -r on session how <<<"$entry"
  row=$((row + 1))
  what="on the $on display in the $session session, $how"
  rm -f "$(settings)"
  if [[ "$on" == "user's" && "$session" == "test's" ]]; then
    start_notepad
  fi
  if [[ "$session" == "run's" ]]; then
    wineserver -k || true
    wineserver -w
    rm -f "$build/demo-server.log"
    # The run command's demo has its picture analysed by the server it starts.
    run_in_terminal "$on" "row$row"
    picture=$sample
    requests=$build/demo-server.log
  else
    run_in_terminal "$on" "row$row" /file "$(winepath -w "$work/A.jpg")"
    picture=$(winepath -w "$work/A.jpg")
    requests=$work/server.log
  fi
  analysed=$(grep -cs '^request' "$requests" || true)

  if [[ "$how" == *"during Wine's start" ]]; then
    wait_until "Wine starts for the run command $what" pid_of "row$row" wineboot.exe
    press_ctrl_c
    ended_with "$terminal" 130 "the run command $what"
    [[ -z "$(settings)" ]] || fail "the program started although Wine's start was stopped, $what"
    wait_until "the run command's display and Wine session end, $what" nothing_left "row$row" 0
    continue
  fi

  display=$user_display
  if [[ "$on" == own ]]; then
    wait_until "the run command's display starts, $what" pid_of "row$row" Xvfb
    display=$(display_of "row$row")
  fi
  wait_until "the run command shows the picture $what" title_is "$display" "$picture"
  analysed=$((analysed + 1))
  wait_until "the program has the picture analysed $what" requests_are "$requests" "$analysed"
  (($(temp_pictures) > 0)) || fail "no copy of the picture in the temporary folder while the program runs, $what"
  if [[ "$on" == "user's" && "$session" == "run's" ]]; then
    start_notepad
  fi

  if ((row == 2)); then
    # Later run commands hand over a picture in Windows form and in Linux form
    # (under a locale that is not UTF-8); the program shows each in Windows
    # form. Paths that name nothing end the command at once.
    for argument in "$(winepath -w "$work/B.jpg")" "$linux_path" "$work/none.jpg" 'Z:\none.jpg'; do
      LANG=C run_command own later /file "$argument" >"$work/later.log" 2>&1 &
      if [[ "$argument" == *none.jpg ]]; then
        ended_with $! 2 "the run command with the missing $argument"
        grep -qF "there is no file $argument" "$work/later.log" || fail "no word of the missing $argument"
        continue
      fi
      analysed=$((analysed + 1))
      ended_with $! 0 "the run command with $argument"
      wait_until "the running program shows $argument" title_is "$display" "$(winepath -w "$argument")"
      wait_until "the program has $argument analysed" requests_are "$requests" "$analysed"
    done
    # A demo run command while the program runs: its sample is analysed by
    # the server it starts, which lives as long as the program.
    kill "$server"
    wait "$server" || true
    wait_until "the test's analysis server ends" eval '! server_listens'
    run_command own demo >"$work/demo.log" 2>&1 &
    demo=$!
    wait_until "the running program shows the demo's sample" title_is "$display" "$sample"
    wait_until "the demo's server analyses the sample" requests_are "$build/demo-server.log" 1
    wait_until "the demo run command says it handed the sample over" grep -q 'handed the sample over' "$work/demo.log"
    server_listens || fail "the demo's server ended while the program runs"
  fi

  press_ctrl_c
  case $how in
    *twice) press_ctrl_c ;;
    *closed) close_terminal ;;
  esac
  ended_with "$terminal" 0 "the run command $what"
  [[ -n "$(settings)" ]] || fail "the program ended without writing the settings, $what"
  (($(temp_pictures) == 0)) || fail "a copy of a picture stays in the temporary folder, $what"
  wait_until "the run command leaves nothing running, $what" nothing_left "row$row" 1
  if ((row == 2)); then
    ended_with "$demo" 0 "the demo run command"
    wait_until "the demo run command leaves nothing running" nothing_left demo 1
  fi
  the_other_lives "$what"
done

# A program that fails: here one that ends with 1.
mkdir -p "$work/failing"
cp "$build/tools/CloseQuillmere.exe" "$work/failing/Quillmere.exe"
build=$work/failing run_command own failing /file "$work/A.jpg" >"$work/failing.log" 2>&1 &
ended_with $! 1 "the run command of a program that fails"
((failures == 0))
