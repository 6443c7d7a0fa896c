#!/usr/bin/env bash
# Prepares a Wine prefix for the Windows panel here: made when missing; the fonts the panel names
# (Times New Roman, Courier New, MS Sans Serif) served by their metric-compatible Liberation fonts,
# so the window is laid out as on Windows; and COM5 registered as a serial port whose device is
# PREFIX/com5-board, where a test board links its pseudo-terminal (Wine lists a port only when it
# is registered so, and reads the registration when its server starts).
# Usage: scripts/wine-prefix.sh PREFIX
# Prints nothing; status 1 and one sentence when Wine cannot make the prefix.
set -euo pipefail

prefix=${1:?usage: scripts/wine-prefix.sh PREFIX}
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64)
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)
export WINEPREFIX=$prefix WINEDEBUG=-all
mkdir -p "$(dirname "$prefix")"

if [[ ! -f $prefix/system.reg ]]; then
    if ! timeout 300 "$wine" wineboot -i >"$prefix.wineboot.log" 2>&1; then
        echo "Wine cannot make the prefix $prefix: $(tail -n 1 "$prefix.wineboot.log")." >&2
        exit 1
    fi
fi

registry() { timeout 60 "$wine" reg add "$@" /f >/dev/null 2>&1; }
registry 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /d 'Liberation Serif'
registry 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d 'Liberation Mono'
registry 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Sans Serif' /d 'Liberation Sans'
registry 'HKLM\Software\Wine\Ports' /v COM5 /d "$prefix/com5-board"
# The next Wine program starts a server that reads the port's registration.
timeout 60 "$wineserver" -k 2>/dev/null || true
timeout 60 "$wineserver" -w 2>/dev/null || true
