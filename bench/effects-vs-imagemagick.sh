#!/usr/bin/env bash
# Runs batch_bench under Wine, then ImageMagick on the very same JPEG files:
# first the batch step per image beside ImageMagick's nearest command, then
# what the mode costs with no file at all, then the whole "/sharp" mode of
# Quillmere.exe (process start included) beside ImageMagick run once per
# file, on two sets of panoramic pictures as noisy as a real X-ray: colour
# JPEGs and grey ones of one component, as X-ray machines write them (both
# made by ImageMagick at quality 90), and the colour set again beside two
# files whose frame header claims 60000 x 60000 over 95 KB of data, which
# must cost the others no more than 1.35 times their time and 0.3 s. Then the
# mode alone on the colour set eight times over (96 files), without and with
# one colour file of 5000 x 4000 first or last in the list, which must cost
# the others no more than 1.15 times their time and its own decoding. Each
# set is timed with
# the number of cores this run may use (run the script under `taskset -c 0,1`
# for the figures of two cores), and its peak memory taken: the private
# (anonymous) resident memory of the process, sampled every few milliseconds
# in a round of its own, and the kernel's exact peak of all its resident
# memory (shared libraries included), which bounds the private peak from
# above; and beside it the least time the dialog's pace lets the run take.
# Usage: bench/effects-vs-imagemagick.sh [WINDOWS_BUILD_FOLDER]
# QUILL_BENCH_ROUNDS (default 3) sets how often each whole run is timed; the
# best round counts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/windows}" && pwd)
rounds=${QUILL_BENCH_ROUNDS:-3}
work=$(mktemp -d /tmp/quill-batch-bench.XXXXXX)

export QUILL_WINEPREFIX="$work/wineprefix"
source scripts/wine-env
trap 'quill_wine_stop; rm -rf "$work"' EXIT
quill_wine_start
wine "$build/bench/batch_bench.exe" "Z:$work" > "$work/wine.txt" 2>&1
cat "$work/wine.txt"

magick() {
  /usr/bin/convert "$1" -auto-level -unsharp 20x6.67+1.5+0 "$2"
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

for file in "$work"/in/*.jpg; do
  name=$(basename "$file")
  best=""
  for round in 1 2 3; do
    start=$(now_ms)
    magick "$file" "$work/magick-$name"
    spent=$(( $(now_ms) - start ))
    if [[ -z "$best" || $spent -lt $best ]]; then best=$spent; fi
  done
  ours=$(awk -v n="$name" '$1 == "batch" && $2 == n { print $3 }' "$work/wine.txt")
  awk -v n="$name" -v ours="$ours" -v magick="$best" \
    'BEGIN { printf "%s  batch %.1f ms  ImageMagick %d ms  ImageMagick/batch %.1f\n", n, ours, magick, magick / ours }'
done

for set in colour grey; do
  mkdir -p "$work/$set"
  for source in "$work"/batch/"$set"-*.ppm; do
    number=$(basename "$source" .ppm)
    number=${number#"$set"-}
    if [[ $set == grey ]]; then
      /usr/bin/convert "$source" -colorspace Gray -quality 90 "$work/$set/pano-$number.jpg"
    else
      /usr/bin/convert "$source" -quality 90 "$work/$set/pano-$number.jpg"
    fi
  done
done

# Two false headers beside the colour files: a colour file's first 95 KB,
# its frame header saying 60000 x 60000.
mkdir -p "$work/colour-false"
cp "$work"/colour/*.jpg "$work/colour-false/"
for number in 1 2; do
  python3 - "$work/colour/pano-$number.jpg" "$work/colour-false/false-$number.jpg" <<'PYTHON'
import sys
data = bytearray(open(sys.argv[1], "rb").read()[:95 * 1024])
frame = data.index(b"\xff\xc0") + 5
data[frame:frame + 4] = (60000).to_bytes(2, "big") * 2
open(sys.argv[2], "wb").write(data)
PYTHON
done

# The part of the whole run that no file costs: Wine starting the process
# (and, after a pause like the one ImageMagick's turn leaves, its desktop),
# the dialog's first tick, and the end. With it, the dialog's pace of one
# file a tick of 50 ms sets the least a run of N files can take: the empty
# run and N ticks more.
mkdir -p "$work/empty" "$work/sharp-out"
floor_best=""
for round in $(seq "$rounds"); do
  sleep 2
  start=$(now_ms)
  (cd "$build" && wine ./Quillmere.exe /sharp "Z:$work/empty" "Z:$work/sharp-out")
  spent=$(( $(now_ms) - start ))
  if [[ -z "$floor_best" || $spent -lt $floor_best ]]; then floor_best=$spent; fi
done
echo "/sharp on an empty folder $floor_best ms"

# The whole mode on one set, beside ImageMagick on the same files, then its
# memory round.
declare -A sharp_of
whole_run() {
  local set=$1
  # ImageMagick and the count of written files take the pictures only.
  local files=("$work/$set"/pano-*.jpg)
  local all=("$work/$set"/*.jpg)
  rm -rf "$work/sharp-out" "$work/magick-out"
  mkdir -p "$work/sharp-out" "$work/magick-out"
  local sharp_best="" magick_best="" start sharp spent written
  for round in $(seq "$rounds"); do
    rm -f "$work"/sharp-out/*
    start=$(now_ms)
    (cd "$build" && wine ./Quillmere.exe /sharp "Z:$work/$set" "Z:$work/sharp-out")
    sharp=$(( $(now_ms) - start ))
    written=$(find "$work/sharp-out" -type f -name 'pano-*.jpg' | wc -l)
    if [[ $written -ne ${#files[@]} || $(find "$work/sharp-out" -type f | wc -l) -ne $written ]]; then
      echo "/sharp wrote $written of ${#files[@]} $set files" >&2
      exit 1
    fi

    start=$(now_ms)
    for file in "${files[@]}"; do
      magick "$file" "$work/magick-out/$(basename "$file")"
    done
    spent=$(( $(now_ms) - start ))
    echo "$set round $round  /sharp $sharp ms  ImageMagick $spent ms  load $(cut -d' ' -f1 /proc/loadavg)"
    if [[ -z "$sharp_best" || $sharp -lt $sharp_best ]]; then sharp_best=$sharp; fi
    if [[ -z "$magick_best" || $spent -lt $magick_best ]]; then magick_best=$spent; fi
  done

  # The memory round: Wine reports no private usage of its own (GetProcessMemoryInfo
  # gives a fixed figure), so the process is watched from outside.
  rm -f "$work"/sharp-out/*
  (cd "$build" && exec wine ./Quillmere.exe /sharp "Z:$work/$set" "Z:$work/sharp-out") &
  runner=$!
  pid=""
  for _ in $(seq 500); do
    pid=$(pgrep -n -f "Quillmere.exe /sharp Z:$work/$set" || true)
    [[ -n "$pid" ]] && break
    sleep 0.01
  done
  anon_peak=0
  hwm_peak=0
  while [[ -n "$pid" && -r /proc/$pid/status ]]; do
    read -r anon hwm < <(awk '$1 == "RssAnon:" { a = $2 } $1 == "VmHWM:" { h = $2 } END { print a + 0, h + 0 }' \
      "/proc/$pid/status" 2>/dev/null || echo "0 0")
    ((anon > anon_peak)) && anon_peak=$anon
    ((hwm > hwm_peak)) && hwm_peak=$hwm
    sleep 0.005
  done
  wait "$runner"
  echo "/sharp peak private (anonymous resident) memory $((anon_peak / 1024)) MB  peak resident memory $((hwm_peak / 1024)) MB"
  sharp_of[$set]=$sharp_best
  awk -v set="$set" -v cores="$(nproc)" -v n="${#all[@]}" -v ours="$sharp_best" -v magick="$magick_best" -v mem="$((anon_peak / 1024))" \
    -v floor="$floor_best" \
    'BEGIN { least = floor + 50 * n
             printf "%s  cores %d  %d files  /sharp %d ms  ImageMagick %d ms  ImageMagick//sharp %.1f  peak private %d MB\n", set, cores, n, ours, magick, magick / ours, mem
             printf "%s  least at one file a tick: %d ms, ImageMagick/least %.1f\n", set, least, magick / least }'
}

whole_run colour
whole_run grey
whole_run colour-false
awk -v with="${sharp_of[colour-false]}" -v without="${sharp_of[colour]}" \
  'BEGIN { bound = 1.35 * without + 300
           printf "colour beside two false headers %d ms, without them %d ms: %.2f times, bound %d ms: %s\n",
             with, without, with / without, bound, with <= bound ? "within" : "OVER" }'

# The mode alone, best of the rounds; every file of the set must be written.
sharp_only() {
  local set=$1 best="" start spent
  local all=("$work/$set"/*.jpg)
  for round in $(seq "$rounds"); do
    rm -rf "$work/sharp-out"
    mkdir -p "$work/sharp-out"
    start=$(now_ms)
    (cd "$build" && wine ./Quillmere.exe /sharp "Z:$work/$set" "Z:$work/sharp-out") >&2
    spent=$(( $(now_ms) - start ))
    if [[ $(find "$work/sharp-out" -type f | wc -l) -ne ${#all[@]} ]]; then
      echo "/sharp did not write the ${#all[@]} files of $set" >&2
      exit 1
    fi
    echo "$set round $round  /sharp $spent ms" >&2
    if [[ -z "$best" || $spent -lt $best ]]; then best=$spent; fi
  done
  echo "$best"
}

# The directory search lists the names in order: the large file goes first
# as 0-large.jpg and last as zz-large.jpg.
/usr/bin/convert "$work/batch/large-colour.ppm" -quality 90 "$work/large.jpg"
large_decode=$(wine "$build/bench/batch_bench.exe" decode "Z:$work/large.jpg" | awk '$1 == "decode" { print $2 }')
mkdir -p "$work/colour-96" "$work/large-first" "$work/large-last"
for copy in 1 2 3 4 5 6 7 8; do
  for file in "$work"/colour/pano-*.jpg; do
    ln "$file" "$work/colour-96/$(basename "$file" .jpg)-$copy.jpg"
  done
done
ln "$work"/colour-96/*.jpg "$work/large-first/"
ln "$work"/colour-96/*.jpg "$work/large-last/"
ln "$work/large.jpg" "$work/large-first/0-large.jpg"
ln "$work/large.jpg" "$work/large-last/zz-large.jpg"
alone=$(sharp_only colour-96)
first=$(sharp_only large-first)
last=$(sharp_only large-last)
awk -v alone="$alone" -v first="$first" -v last="$last" -v decode="$large_decode" \
  -v size="$(( $(stat -c %s "$work/large.jpg") / 1024 ))" \
  'BEGIN { bound = 1.15 * alone + decode
           printf "96 colour files %d ms; the 5000 x 4000 file (%d KB, decoded in %d ms) first %d ms (%.2f times), last %d ms (%.2f times)\n",
             alone, size, decode, first, first / alone, last, last / alone
           printf "bound 1.15 x %d ms + %d ms = %d ms: first %s, last %s\n", alone, decode, bound,
             first <= bound ? "within" : "OVER", last <= bound ? "within" : "OVER" }'

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
