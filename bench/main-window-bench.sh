#!/usr/bin/env bash
# Runs main_window_bench under Wine on an Xvfb display of 1600 x 900 and a
# Wine prefix of its own.
# Usage: bench/main-window-bench.sh [WINDOWS_BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
work=$(mktemp -d /tmp/quill-main-window-bench.XXXXXX)

export QUILL_WINEPREFIX="$work/wineprefix"
export QUILL_OWN_DISPLAY=1
source scripts/wine-env
trap 'quill_wine_stop; rm -rf "$work"' EXIT
quill_wine_start
wine "$build/bench/main_window_bench.exe"
