#!/usr/bin/env bash
# The whole test run: installs what is missing, builds and runs every test in the normal and the
# sanitizer build, fuzzes the frame path and the recording reader for a few seconds when clang is
# present, runs the core and the whole panel built for Windows under Wine, and installs and removes
# the Debian package.
# Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Qt for Windows, which scripts/test-windows.sh needs, takes half an hour to build the first time.
# It is built at the lowest priority beside the Linux builds and tests, in the time they leave the
# processors idle, and test-windows.sh waits for it; once it is cached this ends at once.
mkdir -p build
setsid nice -n 19 scripts/build-qt-windows.sh >build/qt-windows.out 2>build/qt-windows.err &
qt_build=$!
trap 'kill -TERM -- "-$qt_build" 2>/dev/null || true' EXIT

# Window tests run on Qt's offscreen platform, so no display is needed.
export QT_QPA_PLATFORM=offscreen

for preset in check sanitize; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" -j2
done

if command -v clang++ >/dev/null; then
  echo "== fuzzing the frame path and the recording reader"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
  mkdir -p build/fuzz/corpus build/fuzz/recording_corpus
  build/fuzz/fuzz/frame_path_fuzz -max_total_time=10 -max_len=4096 -print_final_stats=0 build/fuzz/corpus 2>&1 | tail -n 3
  build/fuzz/fuzz/recording_reader_fuzz -max_total_time=5 -max_len=4096 -print_final_stats=0 build/fuzz/recording_corpus 2>&1 | tail -n 3
else
  echo "== clang++ not found: fuzzing skipped"
fi
scripts/test-windows.sh
scripts/check-package.sh
echo "All tests passed."
