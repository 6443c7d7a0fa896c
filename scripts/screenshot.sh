#!/usr/bin/env bash
# Builds the panel, runs it on the simulated board on a virtual X display and saves two pictures:
# the window (docs/panel.png) and the Trends window beside it with two markers (docs/trends.png);
# then the same panel built for Windows under Wine (docs/panel-windows.png; the first run builds Qt
# for Windows, about half an hour).
# Usage: scripts/screenshot.sh [output folder, default docs]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target sensor-panel

out=${1:-docs}
mkdir -p "$out"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# A settings file of its own, so the pictures do not depend on the user's remembered choices:
# Trends at its 1 min span, placed beside the panel.
mkdir -p "$home/.config/sensor-panel"
printf '[trends]\nspan=60\nopen=false\n' >"$home/.config/sensor-panel/sensor-panel.conf"

# The panel runs in the background; after some seconds of frames each window is captured.
HOME="$home" XDG_CONFIG_HOME="$home/.config" xvfb-run --auto-servernum --server-args="-screen 0 1700x760x24" bash -c '
  build/default/sensor-panel --demo --log "$1/sensors-demo.csv" --trends 2>/dev/null &
  panel=$!
  sleep 4
  main=$(xdotool search --sync --name "^Form1$" | head -1)
  trends=$(xdotool search --sync --name "Trends" | head -1)
  xdotool windowmove "$main" 0 0
  xdotool windowmove "$trends" 840 0
  xdotool windowsize "$trends" 850 700
  # Two markers, set with Ctrl+M in Trends as an operator would, some seconds apart.
  for wait in 8 6; do
    sleep "$wait"
    xdotool windowfocus --sync "$trends"
    xdotool key --clearmodifiers ctrl+m
  done
  sleep 6
  import -window "$main" "$2/panel.png"
  import -window "$trends" "$2/trends.png"
  kill "$panel"
  wait "$panel" 2>/dev/null || true
' screenshot "$home" "$out"
echo "Wrote $out/panel.png and $out/trends.png"

# The Windows panel: its own Wine prefix with the fonts the panel names, the server's complaints
# sent away, a window found by its title.
panel=$(scripts/build-windows.sh | tail -n 1)
export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all
scripts/wine-prefix.sh "$WINEPREFIX" || { echo "No Windows picture: Wine cannot run here." >&2; exit 0; }
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64)
xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24" bash -c '
  "$(dirname "$1")/wineserver" -p 2>/dev/null >/dev/null &
  timeout 60 "$1" reg delete "HKCU\Software\sensor-panel" /f >/dev/null 2>&1
  timeout 120 "$1" "$2/sensor-panel.exe" --demo --log "Z:$3/sensors-demo.csv" 2>/dev/null &
  panel=$!
  main=$(timeout 90 xdotool search --sync --onlyvisible --name "^Form1$" | head -1)
  sleep 20
  import -window "$main" "$4/panel-windows.png"
  kill "$panel"
  wait "$panel" 2>/dev/null || true
  "$(dirname "$1")/wineserver" -k
' screenshot "$wine" "$panel" "$home" "$out"
echo "Wrote $out/panel-windows.png"
