#!/usr/bin/env bash
# Runs analyze_bench under Wine on a 3000 x 1500 picture as a 24-bit JPEG and
# as an 8-bit grey JPEG (made from it by ImageMagick).
# Usage: bench/analyze-bench.sh [WINDOWS_BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
work=$(mktemp -d /tmp/quill-analyze-bench.XXXXXX)

export QUILL_WINEPREFIX="$work/wineprefix"
export QUILL_OWN_DISPLAY=1
source scripts/wine-env
trap 'quill_wine_stop; rm -rf "$work"' EXIT
quill_wine_start
wine "$build/bench/analyze_bench.exe" write "Z:$work/colour.jpg"
/usr/bin/convert "$work/colour.jpg" -colorspace Gray -type Grayscale "$work/grey.jpg"
wine "$build/bench/analyze_bench.exe" run "Z:$work/colour.jpg" "Z:$work/grey.jpg"
