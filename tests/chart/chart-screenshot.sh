#!/usr/bin/env bash
# Saves what the screen shows while the chart scene runs, as a picture for a
# reviewer, and lets the scene check the picture against the chart's layout.
# Arguments: the scene program and the picture to write.
set -euo pipefail
scene=$1
picture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -f "$picture"
wine "$scene" "$(winepath -w "$work/ready")" "$(winepath -w "$work/done")" "$(winepath -w "$picture")" &
pid=$!
for _ in $(seq 600); do
  [[ -e "$work/ready" ]] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -e "$work/ready" ]]; then
  echo "the chart scene did not show" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
fi
import -window root "$picture"
touch "$work/done"
# The scene's exit code: whether the picture shows its boxes where they lie.
wait "$pid"
