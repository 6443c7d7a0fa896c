#!/usr/bin/env bash
# Builds the panel, runs it against the simulated board on a virtual X display and saves a
# picture of the whole screen to docs/panel.png.
# Usage: scripts/screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target sensor-panel

out=${1:-docs/panel.png}
mkdir -p "$(dirname "$out")"
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT

# The panel runs in the background on the virtual display; after two seconds of frames the
# screen is captured and the panel closed.
xvfb-run --auto-servernum --server-args="-screen 0 840x540x24" bash -c '
  build/default/sensor-panel --demo --log "$1/sensors.csv" &
  panel=$!
  sleep 2
  import -window root "$2"
  kill "$panel"
  wait "$panel" 2>/dev/null || true
' screenshot "$logdir" "$out"
echo "Wrote $out"
