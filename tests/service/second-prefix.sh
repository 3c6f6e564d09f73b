#!/usr/bin/env bash
# Runs Quillmere.exe in a Wine prefix and server of its own, as a user's other
# session would run it, with the temporary folder set to one that the first
# prefix's programs use too. Writes the program's exit code to DONE_FILE once
# it has ended, and ends the prefix's server.
# Usage: second-prefix.sh PREFIX TEMP_WINDOWS_PATH DONE_FILE EXE WORK_FOLDER ARGUMENTS...
set -u
prefix=$1
temp=$2
done_file=$3
exe=$4
work=$5
shift 5
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cd "$work" || exit 1
# Wine gives a process the prefix's own TEMP and TMP; cmd hands ours on.
wine cmd /c "set TEMP=$temp&& set TMP=$temp&& $(winepath -w "$exe") $*" </dev/null >/dev/null 2>&1
code=$?
wineserver -k
echo "$code" >"$done_file"
