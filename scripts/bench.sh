#!/usr/bin/env bash
# Runs every benchmark and writes the figures to BENCHMARKS.md (about thirteen minutes on 2 cores).
# The panel is measured on a virtual X display beside cutecom, a general serial terminal, which
# xdotool opens on its port; both are installed here, for the benchmark only.
# Usage: scripts/bench.sh [--smoke]     (--smoke: a few seconds of each part, figures not kept)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
missing=()
for tool in cutecom xdotool xvfb-run; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if ((${#missing[@]})); then
  packages=("${missing[@]/xvfb-run/xvfb}")
  echo "Installing for the benchmark: ${packages[*]}"
  if ! { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${packages[@]}"; } >/dev/null; then
    echo "Cannot install ${packages[*]}: the comparison with a serial terminal is left out." >&2
  fi
fi
cmake --preset default >/dev/null
cmake --build --preset default --target core_throughput_bench panel_bench trends_bench sensor-panel

# The windows are shown on a virtual X display large enough to hold them side by side.
on_display() { xvfb-run --auto-servernum --server-args="-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb "$@"; }

if [[ ${1:-} == --smoke ]]; then
  build/default/bench/core_throughput_bench --benchmark_min_time=0.05
  on_display build/default/bench/panel_bench --smoke
  QT_QPA_PLATFORM=offscreen build/default/bench/trends_bench --smoke
  exit 0
fi

core=$(build/default/bench/core_throughput_bench --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_(median|cv) ')
panel=$(on_display build/default/bench/panel_bench)
trends=$(QT_QPA_PLATFORM=offscreen build/default/bench/trends_bench)

{
  sed -n '1,/^<!-- figures -->$/p' bench/BENCHMARKS.template.md
  echo
  echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores: \`scripts/bench.sh\`"
  echo
  echo "### Core throughput (Google Benchmark, median and coefficient of variation of 5 repetitions)"
  echo
  echo '```'
  echo "$core"
  echo '```'
  echo
  echo "### The whole panel (bench/panel_bench)"
  echo
  echo "$panel"
  echo
  echo "### Trends (bench/trends_bench)"
  echo
  echo "$trends"
  echo
  sed -n '/^<!-- figures -->$/,$p' bench/BENCHMARKS.template.md | tail -n +2
} >BENCHMARKS.md
echo "Wrote BENCHMARKS.md"
