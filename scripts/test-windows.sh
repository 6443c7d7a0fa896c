#!/usr/bin/env bash
# The Windows test run, in two parts, each under Wine. First the core, the simulated board's model,
# sensor-decode and their tests, cross-compiled with MinGW-w64 without Qt (ctest). Then the whole
# panel: Qt for Windows (built once and cached, scripts/build-qt-windows.sh), sensor-panel.exe and
# its installer, run on a virtual X display by tests/wine/panel_under_wine.py: the demo's window, a
# board on COM5 (a pseudo-terminal), the log in c:\temp, the installer and its uninstaller. Installs
# what is missing. Where Wine cannot run it says so in one line and ends with status 0.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

skip() {
    echo "Windows tests skipped: $*"
    exit 0
}

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest xvfb xauth xdotool imagemagick nsis python3
    fonts-liberation)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    command -v apt-get >/dev/null || skip "${missing[*]} missing and this system has no apt-get to install them."
    if [[ $(id -u) -eq 0 ]]; then
        as_root=()
    elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        as_root=(sudo -n)
    else
        skip "${missing[*]} missing and this user cannot install them (as root: apt-get install ${missing[*]})."
    fi
    echo "Installing missing packages: ${missing[*]}"
    "${as_root[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
        || skip "installing ${missing[*]} failed (see above)."
fi

wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || true)
[[ -n $wine && -x $wine ]] || skip "wine64 is installed but its program was not found."

# Wine keeps its own Windows folder in the build tree, runs without a display and says nothing of
# its own; tests that fail still print their output.
export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
mkdir -p build/windows
stop_wine() { timeout 60 "$(dirname "$wine")/wineserver64" -k 2>/dev/null || timeout 60 wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    if ! timeout 300 "$wine" wineboot -i >build/windows/wineboot.log 2>&1; then
        reason=$(tail -n 1 build/windows/wineboot.log)
        skip "Wine cannot start here: ${reason:-wineboot failed and said nothing}."
    fi
fi
timeout 120 "$wine" cmd /c exit 0 >/dev/null 2>&1 || skip "Wine cannot run a Windows program here."

echo "== windows build of the core (MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows
echo "== windows tests of the core (under Wine)"
ctest --preset windows -j2 --timeout 300
stop_wine

echo "== windows build of the panel and its installer (MinGW-w64, Qt for Windows)"
panel=$(scripts/build-windows.sh | tail -n 1)
installer=$(scripts/package-windows.sh | tail -n 1)
echo "$panel: $(du -sh "$panel" | cut -f1); $installer: $(du -h "$installer" | cut -f1)"
# The Linux build's sensor-decode says what the log should hold; its sensor-board-sim makes the
# frames the board on COM5 sends.
scripts/setup.sh
cmake --preset check >/dev/null
cmake --build --preset check --target sensor-decode sensor-board-sim

echo "== the panel under Wine on a virtual X display"
scripts/wine-prefix.sh "$WINEPREFIX"
xvfb-run -a true 2>/dev/null || skip "Xvfb cannot start here, so no window can be shown; the core's tests above ran."
timeout 900 xvfb-run -a -s "-screen 0 1280x1024x24" python3 tests/wine/panel_under_wine.py --panel "$panel" \
    --installer "$installer" --decode build/check/sensor-decode --board-sim build/check/sensor-board-sim
