#!/usr/bin/env bash
# Builds a release of the three programs and writes the Debian package
# build/package/sensor-panel_VERSION_ARCH.deb (scripts/check-package.sh checks and installs it).
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Debian's own compiler and linker flags, with every hardening feature its checks look for.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake --preset package \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build --preset package
cpack --preset package >build/package/cpack.log 2>&1 || {
  cat build/package/cpack.log >&2
  echo "CPack could not make the Debian package (its output is above)." >&2
  exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
deb=build/package/sensor-panel_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "CPack ran but $deb is missing; see build/package/cpack.log." >&2; exit 1; }
echo "$deb"
