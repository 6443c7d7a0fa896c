#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and writes their installer with CPack's
# NSIS generator: build/windows-panel/package/sensor-panel-VERSION-win64.exe, a 64-bit installer
# that puts the programs and Qt beside them in C:\Program Files\sensor-panel, adds "Sensor panel"
# to the Start menu and registers an uninstaller. Installs Debian's nsis when it is missing.
# The last line printed is the installer's path; the rest goes to standard error.
# Usage: scripts/package-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v makensis >/dev/null; then
    if [[ $(id -u) -eq 0 ]]; then
        as_root=()
    elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        as_root=(sudo -n)
    else
        echo "makensis is missing and this user cannot install it; as root run: apt-get install nsis" >&2
        exit 1
    fi
    echo "Installing missing package: nsis" >&2
    "${as_root[@]}" apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends nsis >&2
fi

scripts/build-windows.sh >/dev/null
build=build/windows-panel
cpack --preset windows >"$build/cpack.log" 2>&1 || {
    cat "$build/cpack.log" >&2
    echo "CPack could not make the Windows installer (its output is above)." >&2
    exit 1
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
installer=$PWD/$build/package/sensor-panel-$version-win64.exe
[[ -f $installer ]] || { echo "CPack ran but $installer is missing; see $build/cpack.log." >&2; exit 1; }
echo "$installer"
