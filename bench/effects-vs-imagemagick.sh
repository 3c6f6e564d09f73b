#!/usr/bin/env bash
# Runs batch_bench under Wine, then ImageMagick on the very same JPEG files,
# and prints the batch step per image beside ImageMagick's nearest command.
# Usage: bench/effects-vs-imagemagick.sh [WINDOWS_BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
work=$(mktemp -d /tmp/quill-batch-bench.XXXXXX)

export QUILL_WINEPREFIX="$work/wineprefix"
source scripts/wine-env
trap 'quill_wine_stop; rm -rf "$work"' EXIT
quill_wine_start
wine "$build/bench/batch_bench.exe" "Z:$work" > "$work/wine.txt" 2>&1
cat "$work/wine.txt"

for file in "$work"/in/*.jpg; do
  name=$(basename "$file")
  best=""
  for round in 1 2 3; do
    start=$(date +%s%N)
    /usr/bin/convert "$file" -auto-level -unsharp 20x6.67+1.5+0 "$work/magick-$name"
    spent=$(( ($(date +%s%N) - start) / 1000000 ))
    if [[ -z "$best" || $spent -lt $best ]]; then best=$spent; fi
  done
  ours=$(awk -v n="$name" '$1 == "batch" && $2 == n { print $3 }' "$work/wine.txt")
  awk -v n="$name" -v ours="$ours" -v magick="$best" \
    'BEGIN { printf "%s  batch %.1f ms  ImageMagick %d ms  ImageMagick/batch %.1f\n", n, ours, magick, magick / ours }'
done
