#!/usr/bin/env bash
# The Windows test run: cross-compiles the core, the simulated board's model, sensor-decode and their
# tests with MinGW-w64 and runs them under Wine. Installs the cross compiler, Wine and GoogleTest's
# sources when missing. Where Wine cannot run it says so in one line and ends with status 0.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

skip() {
    echo "Windows tests skipped: $*"
    exit 0
}

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest)
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
stop_wine() { "$(dirname "$wine")/wineserver64" -k 2>/dev/null || wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    if ! "$wine" wineboot -i >build/windows/wineboot.log 2>&1; then
        reason=$(tail -n 1 build/windows/wineboot.log)
        skip "Wine cannot start here: ${reason:-wineboot failed and said nothing}."
    fi
fi
"$wine" cmd /c exit 0 >/dev/null 2>&1 || skip "Wine cannot run a Windows program here."

echo "== windows build (MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows
echo "== windows tests (under Wine)"
ctest --preset windows -j2
