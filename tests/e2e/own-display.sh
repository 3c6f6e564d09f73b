#!/usr/bin/env bash
# Runs a test executable under Wine on an Xvfb display and a Wine prefix of
# its own: the real program fills the screen, and what the test reads back
# from the screen must be its window, not another test's.
# Usage: own-display.sh TEST_EXECUTABLE WORK_FOLDER
set -euo pipefail
exe=$1
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"

export QUILL_WINEPREFIX="$work/wineprefix"
export QUILL_OWN_DISPLAY=1
unset WINEPREFIX
source "$root/scripts/wine-env"
trap quill_wine_stop EXIT
quill_wine_start
wine "$exe"
