#!/usr/bin/env bash
# Runs chart_bench under Wine on a display and a Wine prefix of its own.
# Usage: bench/chart-bench.sh [WINDOWS_BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
work=$(mktemp -d /tmp/quill-chart-bench.XXXXXX)

export QUILL_WINEPREFIX="$work/wineprefix"
export QUILL_OWN_DISPLAY=1
source scripts/wine-env
trap 'quill_wine_stop; rm -rf "$work"' EXIT
quill_wine_start
wine "$build/bench/chart_bench.exe"
