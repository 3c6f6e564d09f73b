#!/usr/bin/env bash
# The build's copy of the run-time data into the program folder, run as the
# build runs it: a file the folder lacks is copied, a data file changed by a
# developer (newer) replaces the folder's copy, and a file the user saved from
# the program since (newer than its data file) is kept.
# Usage: data-copy.sh WORK_FOLDER
set -euo pipefail
work=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
data=$work/data
program=$work/program

# Each row: a file, what the program folder holds before the build (none, or
# the user's text older or newer than the data file), whose text it holds after.
rows=(
  "Setting.ini|newer|user"
  "Record/User.tpl|newer|user"
  "Record/User.tpl|older|data"
  "Health/牙周 病/index.htm|none|data"
)
data_time=$(date -d '2026-01-01 12:00' +%s)
declare -A user_time=([older]=$((data_time - 3600)) [newer]=$((data_time + 3600)))
failures=0
for row in "${rows[@]}"; do
  IFS='|' read -r file before after <<<"$row"
  rm -rf "$data" "$program"
  mkdir -p "$(dirname "$data/$file")" "$(dirname "$program/$file")"
  echo data >"$data/$file"
  touch -d "@$data_time" "$data/$file"
  if [[ "$before" != none ]]; then
    echo user >"$program/$file"
    touch -d "@${user_time[$before]}" "$program/$file"
  fi
  cmake -DFROM="$data" -DTO="$program" -P "$root/cmake/CopyNewerFiles.cmake"
  if [[ "$(cat "$program/$file" 2>/dev/null)" != "$after" ]]; then
    echo "FAIL: $file, $before in the program folder: it holds '$(cat "$program/$file" 2>/dev/null)', not the $after's text" >&2
    failures=$((failures + 1))
  fi
done
((failures == 0))
