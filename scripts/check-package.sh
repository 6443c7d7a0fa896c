#!/usr/bin/env bash
# Checks the Debian package with Debian's own tools: lintian on the .deb, desktop-file-validate and
# appstreamcli on the installed files; installs it with apt-get, runs the programs from PATH, purges
# it and checks that nothing it installed stays and no package it pulled in is left.
# Usage: scripts/check-package.sh        (builds the package first with scripts/package.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "Package check failed: $*" >&2
  exit 1
}

deb=$PWD/$(scripts/package.sh | tail -n 1)
version=$(dpkg-deb -f "$deb" Version)
app_id=$(sed -n 's/^SENSOR_PANEL_APP_ID:STRING=//p' build/package/CMakeCache.txt)
work=$(mktemp -d)
chmod 755 "$work"

echo "== lintian $(basename "$deb")"
# Errors and warnings fail the check; informational tags are shown only.
lintian_status=0
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 ||
  lintian_status=$?
grep -v '^running with root privileges' "$work/lintian.txt" || true
((lintian_status == 0)) || fail "lintian reports errors or warnings on $deb (listed above); fix them in packaging/."

# Validates the desktop entry and the metainfo as they lie under the root given.
validate() {
  local root=$1
  desktop-file-validate "$root/usr/share/applications/sensor-panel.desktop" ||
    fail "desktop-file-validate rejects sensor-panel.desktop (see above); fix packaging/sensor-panel.desktop."
  appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli rejects $app_id.metainfo.xml (see above); fix packaging/sensor-panel.metainfo.xml.in."
  local changelog_version release_version
  changelog_version=$(zcat "$root/usr/share/doc/sensor-panel/changelog.gz" | dpkg-parsechangelog -l - -S Version)
  release_version=$(grep -o '<release version="[^"]*"' "$root/usr/share/metainfo/$app_id.metainfo.xml" |
    head -n 1 | cut -d '"' -f 2)
  [[ $changelog_version == "$version" && $release_version == "$version" ]] ||
    fail "the package is $version but its changelog says $changelog_version and its metainfo $release_version."
}

if dpkg-query -W -f='${Status}' sensor-panel 2>/dev/null | grep -q ' installed$'; then
  echo "== sensor-panel is installed on this machine already: it is left as it is, and only the"
  echo "   package's files are validated; run 'apt-get purge sensor-panel' first for the install test."
  dpkg-deb -x "$deb" "$work/root"
  validate "$work/root"
  rm -rf "$work"
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  fail "installing the package needs root: run this as root or with sudo installed."
fi
apt_get=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=600)

installed_packages() {
  dpkg-query -W -f='${db:Status-Abbrev}${binary:Package}\n' | sed -n 's/^ii *//p' | sort
}
packages_before=$(installed_packages)
pulled_in=()
# Whatever happens below, the package and what it pulled in are removed again.
cleanup() {
  if dpkg-query -W -f='${Status}' sensor-panel 2>/dev/null | grep -q 'installed'; then
    "${apt_get[@]}" purge sensor-panel "${pulled_in[@]}" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== apt-get install $(basename "$deb")"
# apt says it reads a local .deb as root when its unprivileged user cannot; that note is dropped.
"${apt_get[@]}" install "$deb" >"$work/apt.txt" 2>&1 || true
if ! dpkg-query -W -f='${Status}' sensor-panel 2>/dev/null | grep -q ' installed$'; then
  grep -v 'unsandboxed as root' "$work/apt.txt" >&2
  fail "apt-get did not install $deb (its output is above)."
fi
installed_files=$(dpkg-query -L sensor-panel)
mapfile -t pulled_in < <(comm -13 <(echo "$packages_before") <(installed_packages) |
  grep -vx 'sensor-panel\(:.*\)\?' || true)

echo "== the installed files and programs"
validate ""
cd "$work"
for program in sensor-panel sensor-decode sensor-board-sim; do
  [[ $(command -v "$program") == /usr/bin/$program ]] ||
    fail "$program on PATH is '$(command -v "$program")', not the installed /usr/bin/$program."
  man -w "$program" >/dev/null 2>&1 || fail "man finds no manual page for $program."
done
[[ $(sensor-panel --version) == "sensor-panel $version" ]] ||
  fail "sensor-panel --version says '$(sensor-panel --version)', not 'sensor-panel $version'."
sensor-board-sim --capture capture.bin --frames 200 || fail "sensor-board-sim could not write a capture."
sensor-decode capture.bin >decoded.csv || fail "sensor-decode could not decode the capture."
lines=$(wc -l <decoded.csv)
short=$(awk -F, 'NF != 16' decoded.csv | wc -l)
((lines == 200 && short == 0)) ||
  fail "sensor-decode printed $lines lines ($short without 16 fields) for 200 frames."
echo "sensor-panel --version, sensor-board-sim --capture (200 frames) and sensor-decode ran from PATH."
cd - >/dev/null

echo "== apt-get purge sensor-panel"
"${apt_get[@]}" purge sensor-panel "${pulled_in[@]}" >/dev/null
((${#pulled_in[@]} == 0)) || echo "Also removed what the install pulled in: ${pulled_in[*]}"
if dpkg-query -W -f='${Status}' sensor-panel 2>/dev/null | grep -qv 'not-installed'; then
  fail "sensor-panel is still known to dpkg after the purge ($(dpkg-query -W -f='${Status}' sensor-panel))."
fi
left=()
while IFS= read -r path; do
  [[ $path == /. ]] && continue
  if [[ -L $path || -f $path ]]; then
    left+=("$path")
  elif [[ -d $path ]] && [[ -z $(ls -A "$path") ]] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
    left+=("$path")
  fi
done <<<"$installed_files"
((${#left[@]} == 0)) || fail "the purge left these behind: ${left[*]}"
still_there=$(comm -12 <(printf '%s\n' "${pulled_in[@]}" | sort) <(installed_packages))
[[ -z $still_there ]] || fail "these packages the install pulled in are still installed: $still_there"
echo "The package installed, ran and was removed without leaving a file behind."
