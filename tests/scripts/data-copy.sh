#!/usr/bin/env bash
# The build's copy of the run-time data into the program folder, through a
# build (cmake --build) of a project that defines its data target as the
# program's build does. After a first build, the user changes a file of the
# program folder or not, a developer changes its data file or only touches it,
# and the next build keeps the user's text (with the new version beside it
# when there is one) or follows data/. A build after that writes nothing.
# Usage: data-copy.sh WORK_FOLDER
set -euo pipefail
work=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
data=$work/data
program=$work/program
mkdir -p "$work/project"
cat >"$work/project/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.21)
project(data_copy NONE)
include("$root/cmake/RuntimeData.cmake")
quill_add_runtime_data(runtime_data "$data" "$program")
EOF
cmake -S "$work/project" -B "$work/build" >/dev/null

# Each row: a file; the user's change (none, changed, deleted); the data
# file's (touched, changed); the text the file holds after the build and the
# one beside it as .shipped ("-" for none).
rows=(
  "Record/User.tpl|none|touched|v1|-"
  "Record/User.tpl|none|changed|v2|-"
  "Setting.ini|changed|touched|user|-"
  "Record/User.tpl|changed|changed|user|v2"
  "Health/牙周 病/index.htm|deleted|touched|v1|-"
)
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
text() { cat "$1" 2>/dev/null || echo -; }
for row in "${rows[@]}"; do
  IFS='|' read -r file user developer after beside <<<"$row"
  what="$file, $user by the user, $developer in data/"
  rm -rf "$data" "$program"
  mkdir -p "$(dirname "$data/$file")"
  echo v1 >"$data/$file"
  cmake --build "$work/build" >/dev/null
  case $user in
    changed) echo user >"$program/$file" ;;
    deleted) rm "$program/$file" ;;
  esac
  case $developer in
    touched) touch -d '+1 hour' "$data/$file" ;;
    changed) echo v2 >"$data/$file" ;;
  esac
  output=$(cmake --build "$work/build" 2>&1)
  [[ "$(text "$program/$file")" == "$after" ]] || fail "$what: the program folder holds '$(text "$program/$file")', not '$after'"
  [[ "$(text "$program/$file.shipped")" == "$beside" ]] ||
    fail "$what: beside it is '$(text "$program/$file.shipped")', not '$beside'"
  if [[ "$beside" != - && "$output" != *"$file.shipped"* || "$beside" == - && "$output" == *.shipped* ]]; then
    fail "$what: the build's output says: $output"
  fi

  touch -d '-1 hour' "$work/before"
  find "$program" -exec touch -d '-2 hours' {} +
  cmake --build "$work/build" >/dev/null
  written=$(find "$program" -newer "$work/before" -printf '%P ')
  [[ -z "$written" ]] || fail "$what: a second build wrote $written"
done
((failures == 0))
