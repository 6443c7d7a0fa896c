#!/usr/bin/env bash
# Builds Qt 6 for 64-bit Windows (qtbase: Core, Gui, Widgets, Test, OpenGL, the windows platform
# plugin and the styles) with Debian's MinGW-w64, from Debian's own source of qt6-base at the
# version of the installed qt6-base-dev, whose tools (moc, rcc, uic) the build uses. The result is
# cached outside the checkout and reused; the last line printed is its install prefix, the folder
# to give CMake as CMAKE_PREFIX_PATH.
# Usage: scripts/build-qt-windows.sh
# SENSOR_QT_WINDOWS_CACHE: where the builds are kept (default ~/.cache/sensor-panel/qt-windows).
set -euo pipefail

say() { echo "build-qt-windows: $*" >&2; }
fail() {
    say "$*"
    said_why=1
    exit 1
}

main() {
    # What the build needs: the cross compiler, the host's Qt tools of the same version, the build
    # tools and what fetches and unpacks a Debian source package.
    packages=(g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools cmake ninja-build dpkg-dev perl xz-utils
        debian-archive-keyring)
    installed=$(dpkg-query -W -f='${db:Status-Abbrev}${Package}\n' "${packages[@]}" 2>/dev/null | awk '$1 == "ii" { print $2 }')
    missing=()
    for p in "${packages[@]}"; do
        grep -qx -- "$p" <<<"$installed" || missing+=("$p")
    done
    if ((${#missing[@]})); then
        command -v apt-get >/dev/null || fail "${missing[*]} missing and this system has no apt-get to install them."
        if [[ $(id -u) -eq 0 ]]; then
            as_root=()
        elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            as_root=(sudo -n)
        else
            fail "${missing[*]} missing, and this user cannot install packages (not root, no sudo without a password); as root run: apt-get install ${missing[*]}"
        fi
        say "installing missing packages: ${missing[*]}"
        "${as_root[@]}" apt-get update -qq || fail "apt-get update failed (see above), so ${missing[*]} cannot be installed."
        DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2 \
            || fail "installing ${missing[*]} failed (see above)."
    fi

    # The source must be the host tools' own version: moc's output and Qt's build files match it.
    read -r source_package source_version < <(dpkg-query -W -f='${source:Package} ${source:Version}\n' qt6-base-dev)
    qt_version=${source_version#*:}
    qt_version=${qt_version%%[+~-]*}
    multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
    host_cmake_dir=/usr/lib/$multiarch/cmake
    [[ -f $host_cmake_dir/Qt6HostInfo/Qt6HostInfoConfig.cmake ]] \
        || fail "Qt6HostInfo is not in $host_cmake_dir, so the host's Qt tools cannot be found; reinstall qt6-base-dev."

    # The cross toolchain and Qt's options. Everything the panel does not use is off; Qt's own copies
    # of zlib, libpng, PCRE2, HarfBuzz and FreeType replace the host's, which are Linux libraries.
    # In 6.4 the windows plugin needs OpenGL (desktop OpenGL: it loads opengl32.dll when a window
    # asks for it); without Direct2D, DirectWrite 3 must be off too or qwindows.dll fails to link;
    # tablet events need the Wintab header, which Debian's source leaves out.
    toolchain="set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
"
    qt_options=(
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir"
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
        -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON -DFEATURE_accessibility=ON
        -DFEATURE_opengl=ON -DINPUT_opengl=desktop
        -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF -DFEATURE_tabletevent=OFF
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
        -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF
        -DFEATURE_jpeg=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_glib=OFF -DFEATURE_pkg_config=OFF
        -DFEATURE_androiddeployqt=OFF -DFEATURE_windeployqt=OFF
        -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
        -DFEATURE_system_textmarkdownreader=OFF -DFEATURE_system_libb2=OFF
    )

    # One folder per Qt version and set of options; a build is complete only once its stamp is there.
    cache_root=${SENSOR_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sensor-panel/qt-windows}
    options_hash=$(printf '%s\n' "$source_version" "$toolchain" "${qt_options[@]}" | sha256sum | cut -c1-12)
    prefix=$cache_root/$qt_version-$options_hash
    stamp=$prefix/.sensor-panel-complete
    if [[ -f $stamp ]]; then
        echo "$prefix"
        exit 0
    fi

    mkdir -p "$cache_root" 2>/dev/null || fail "cannot create the cache folder $cache_root; set SENSOR_QT_WINDOWS_CACHE to a writable folder."
    [[ -w $cache_root ]] || fail "the cache folder $cache_root is not writable by $(id -un); set SENSOR_QT_WINDOWS_CACHE to a writable folder."
    # Two runs at once: the second waits for the first and then uses its result.
    exec {lock}>"$prefix.lock"
    if ! flock -n "$lock"; then
        say "another run is building $prefix; waiting for it"
        flock "$lock"
    fi
    if [[ -f $stamp ]]; then
        echo "$prefix"
        exit 0
    fi

    # A prefix without a stamp is what an interrupted run left: start again from nothing.
    rm -rf "$prefix"
    work=$(mktemp -d "$cache_root/build-$qt_version-$options_hash.XXXXXX")
    log=$cache_root/$qt_version-$options_hash.log
    # shellcheck disable=SC2317 # run by the EXIT trap
    finish() {
        local status=$?
        rm -rf "$work"
        if [[ ! -f $stamp ]]; then
            rm -rf "$prefix"
            if ((status == 130)); then
                say "interrupted; what was built so far is removed, and the next run starts again."
            elif ((status != 0)) && [[ -z ${said_why:-} ]]; then
                say "the build stopped (status $status); its full log is $log"
            fi
        fi
    }
    trap finish EXIT
    # Ctrl-C reaches the whole build at once; a TERM sent to this script alone, once the running
    # command has ended.
    trap 'exit 130' INT TERM
    : >"$log"

    # Debian's source: a deb-src entry for each Debian suite this machine installs from (as apt itself
    # reads /etc/apt/sources.list and sources.list.d, in either format), in a private apt
    # configuration, so the machine's own sources and package lists stay as they are.
    # shellcheck source=/dev/null
    . /etc/os-release
    codename=${VERSION_CODENAME:-}
    [[ -n $codename ]] || fail "/etc/os-release names no VERSION_CODENAME, so the Debian suite to fetch qt6-base's source from is unknown."
    apt_dir=$work/apt
    mkdir -p "$apt_dir/lists/partial"
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    # shellcheck disable=SC2016 # $(REPO_URI) and the rest are apt's own fields, not the shell's
    apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(TARGET_OF)' 2>/dev/null \
        | awk -v suite="^$codename(-updates|-security)?\$" -v key="$keyring" \
            '$4 == "deb" && $2 ~ suite && $3 == "main" && !seen[$1 " " $2]++ { print "deb-src [signed-by=" key "] " $1 " " $2 " main" }' \
            >"$apt_dir/sources.list"
    [[ -s $apt_dir/sources.list ]] \
        || fail "no Debian $codename suite is among this machine's apt sources, so qt6-base's source cannot be fetched; add the Debian archive to /etc/apt/sources.list.d."
    apt_private=(-o Dir::Etc::sourcelist="$apt_dir/sources.list" -o Dir::Etc::sourceparts=-
        -o Dir::State::Lists="$apt_dir/lists" -o APT::Sandbox::User="$(id -un)")

    SECONDS=0
    say "fetching the source of $source_package $source_version"
    apt-get "${apt_private[@]}" update >>"$log" 2>&1 \
        || fail "apt-get update of the deb-src entries $(paste -sd, "$apt_dir/sources.list") failed; see $log."
    mkdir -p "$work/download"
    if ! (cd "$work/download" && apt-get "${apt_private[@]}" source --download-only "$source_package=$source_version") >>"$log" 2>&1; then
        grep -q "Can not find version" "$log" \
            && fail "Debian's archive no longer has the source of $source_package $source_version, the installed qt6-base-dev's version; upgrade qt6-base-dev (apt-get install qt6-base-dev) and run this again."
        fail "downloading the source of $source_package $source_version failed; see $log."
    fi
    dsc=("$work/download/"*.dsc)
    dpkg-source -x "${dsc[0]}" "$work/src" >>"$log" 2>&1 || fail "unpacking ${dsc[0]##*/} failed; see $log."
    rm -rf "$work/download" "$apt_dir"

    say "configuring Qt $qt_version for Windows (x86_64, MinGW-w64)"
    printf '%s' "$toolchain" >"$work/toolchain.cmake"
    cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" >>"$log" 2>&1 \
        || {
            tail -n 30 "$log" >&2
            fail "configuring Qt failed (the end of its log is above; all of it is in $log)."
        }
    configured=$SECONDS

    # Ninja's progress, every twentieth of the way; the compilers' output goes to the log alone.
    say "building Qt (about a thousand steps; the compilers' output goes to $log)"
    if ! cmake --build "$work/build" 2>&1 | tee -a "$log" \
        | awk -F'[][/]' '/^\[[0-9]+\/[0-9]+\]/ { p = int($2 * 20 / $3); if (p != last) { print $2, $3; fflush(); last = p } }' \
        | while read -r step steps; do say "step $step of $steps, $((SECONDS / 60)) min $((SECONDS % 60)) s"; done; then
        { grep -m 5 -A 10 -E 'FAILED:|error:' "$log" || true; } | tail -n 40 >&2
        fail "building Qt failed (the first errors, if the compilers gave any, are above; all of the output is in $log)."
    fi
    cmake --install "$work/build" >>"$log" 2>&1 || fail "installing Qt into $prefix failed; see $log."
    # The processor time of everything the build ran, which other work on the machine does not
    # stretch as it does the time on the clock.
    times >"$work/times"
    cpu=$(awk 'function seconds(t) { split(t, f, /[ms]/); return f[1] * 60 + f[2] }
        NR == 2 { printf "%d", seconds($1) + seconds($2) }' "$work/times")
    printf 'qt6-base %s\nconfigured in %s s, built and installed in %s s, %s s of processor time\n%s\n' \
        "$source_version" "$configured" "$SECONDS" "$cpu" "${qt_options[*]}" >"$stamp"
    say "Qt $qt_version for Windows built in $((SECONDS / 60)) min $((SECONDS % 60)) s, using $((cpu / 60)) min of processor time on $(nproc) cores ($(du -sh "$prefix" | cut -f1)), into:"
    echo "$prefix"
}

# Bash reads a script as it runs it: main and the exit on one line mean nothing after them is
# read, so editing this file during a build does not disturb the build.
main "$@"; exit
