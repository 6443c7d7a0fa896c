#!/usr/bin/env bash
# Runs every benchmark and writes the figures to BENCHMARKS.md (about four minutes on 2 cores).
# Usage: scripts/bench.sh [--smoke]     (--smoke: a few seconds of each part, figures not kept)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target core_throughput_bench panel_bench trends_bench

if [[ ${1:-} == --smoke ]]; then
  build/default/bench/core_throughput_bench --benchmark_min_time=0.05
  QT_QPA_PLATFORM=offscreen build/default/bench/panel_bench --smoke
  QT_QPA_PLATFORM=offscreen build/default/bench/trends_bench --smoke
  exit 0
fi

core=$(build/default/bench/core_throughput_bench --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_(median|cv) ')
panel=$(QT_QPA_PLATFORM=offscreen build/default/bench/panel_bench)
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
