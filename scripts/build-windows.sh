#!/usr/bin/env bash
# Builds the Windows programs, sensor-panel.exe and sensor-decode.exe, with MinGW-w64 against Qt for
# Windows (scripts/build-qt-windows.sh builds that first when it is not cached: about half an hour,
# once), and installs them, stripped, into one folder with everything they need to run: Qt's and
# the compiler's DLLs, platforms/qwindows.dll and styles/. The last line printed is that folder;
# the rest goes to standard error.
# Usage: scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

qt_prefix=$(scripts/build-qt-windows.sh | tail -n 1)
export SENSOR_QT_WINDOWS_PREFIX=$qt_prefix

build=build/windows-panel
# A Qt built with other options is another prefix; what CMake found in the old one must go.
fresh=()
if [[ -f $build/CMakeCache.txt ]] && ! grep -qxF "CMAKE_PREFIX_PATH:UNINITIALIZED=$qt_prefix" "$build/CMakeCache.txt"; then
    fresh=(--fresh)
fi
cmake --preset windows-panel "${fresh[@]}" >&2
cmake --build --preset windows-panel >&2

folder=$PWD/$build/sensor-panel
rm -rf "$folder"
cmake --install "$build" --prefix "$folder" --strip >/dev/null
echo "$folder"
