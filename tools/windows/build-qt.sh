#!/bin/bash
# Builds the Qt the Windows program needs from Debian's own source: Debian
# 12's qt6-base (the version of the host's qt6-base-dev, whose moc, uic and
# rcc the build uses) for 64-bit Windows with the -posix mingw-w64
# compilers, shared, release, stripped: Qt Core, Gui, Widgets, Test (and the
# few other modules qtbase makes without a network or a database) with their
# plugins (the windows, offscreen and minimal platforms, the native style,
# the GIF, ICO and JPEG readers). Installs it into PREFIX and prints PREFIX;
# everything else it says goes to standard error.
# About twenty minutes on two cores; qt-prefix.sh calls it when there is no
# ready-made archive, and keeps the result in its cache.
#
#   tools/windows/build-qt.sh PREFIX
#
# PREFIX is replaced whole at the end: it must be new, empty, or a Qt this
# recipe made before (it leaves PREFIX/.lumidra-build-qt); anything else is
# refused at once, before the build.
# Needs root on first use: it installs the packages it needs and, when apt
# has no source entries, adds them in a file of its own,
# /etc/apt/sources.list.d/lumidra-deb-src.sources (saying so). The sources
# and the build folder are in a temporary folder, removed at the end.
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"
exec 3>&1 1>&2
prefix=${1:?usage: build-qt.sh PREFIX}
root=$(cd "$(dirname "$0")/../.." && pwd)
# The install replaces PREFIX whole: it may be new, an empty folder, or a Qt
# this recipe made (its stamp), never anything else.
made_here=.lumidra-build-qt
if [ -e "$prefix" ] || [ -L "$prefix" ]; then
    if [ -L "$prefix" ] || [ ! -d "$prefix" ] ||
       { [ -n "$(ls -A "$prefix")" ] && [ ! -f "$prefix/$made_here" ]; }; then
        echo "build-qt: $prefix exists and is not a Qt this recipe made; give a new or empty folder" >&2
        exit 2
    fi
fi
# shellcheck source=tools/apt-wait.sh
. "$root/tools/apt-wait.sh"
export DEBIAN_FRONTEND=noninteractive

as_root() {
    if [ "$(id -u)" != 0 ]; then
        echo "build-qt: run as root once, to $1" >&2
        exit 1
    fi
}

# --- what the build needs ---------------------------------------------------------
# The project's own packages (qt6-base-dev, cmake, ninja, dpkg-dev among
# them) and the cross compiler.
"$root/tools/install-deps.sh" qt6-base-dev-tools g++-mingw-w64-x86-64-posix
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)

# --- Debian's source ------------------------------------------------------------------
# The machine's own entries with source packages beside the binary ones, in a
# file of ours, so the system's files stay as they are.
src_list=/etc/apt/sources.list.d/lumidra-deb-src.sources
if ! apt-get source --print-uris "qt6-base=$version" >/dev/null 2>&1; then
    as_root "add apt's source entries ($src_list)"
    system_list=/etc/apt/sources.list.d/debian.sources
    if [ ! -f "$system_list" ]; then
        echo "build-qt: no $system_list to take the source entries from; add a deb-src entry for Debian 12 and run again" >&2
        exit 1
    fi
    echo "build-qt: adding apt's source entries for Debian's packages in $src_list"
    sed 's/^Types: deb$/Types: deb-src/' "$system_list" >"$src_list"
    apt_get_waiting update -qq
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lumidra-qt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "build-qt: Debian's qt6-base $version for 64-bit Windows into $prefix"
apt-get source -qq --download-only "qt6-base=$version" >/dev/null
dpkg-source -x --no-check qt6-base_*.dsc source >/dev/null
src=$work/source

# Debian's source leaves out the tablet header the windows platform includes;
# Wine's free headers of the same interface stand in for it, with the two
# macros only Wine's own headers define.
apt-get download -qq libwine-dev >/dev/null
dpkg -x libwine-dev_*.deb wine-dev
wintab=$src/src/3rdparty/wintab
mkdir -p "$wintab"
cp wine-dev/usr/include/wine/wine/windows/wintab.h "$wintab/wine_wintab.h"
cp wine-dev/usr/include/wine/wine/windows/pktdef.h "$wintab/pktdef.h"
cat >"$wintab/wintab.h" <<'EOT'
#ifndef LUMIDRA_WINTAB_H
#define LUMIDRA_WINTAB_H
#include <windows.h>
#ifndef WINELIB_NAME_AW
# ifdef UNICODE
#  define WINELIB_NAME_AW(func) func##W
# else
#  define WINELIB_NAME_AW(func) func##A
# endif
#endif
#ifndef DECL_WINELIB_TYPE_AW
# define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#ifndef API
# define API WINAPI
#endif
#include "wine_wintab.h"
#endif
EOT

# --- the build --------------------------------------------------------------------------
# The project's own toolchain file, with the runtime shared as Qt's DLLs need.
# Qt's own copies of its third-party libraries: nothing of the host's goes in.
cmake -G Ninja -S "$src" -B "$work/build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DLUMIDRA_MINGW_SHARED_RUNTIME=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF \
    -DFEATURE_glib=OFF -DFEATURE_zstd=OFF -DFEATURE_pkg_config=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF -DFEATURE_androiddeployqt=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF >"$work/configure.log" ||
    { tail -n 40 "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" -j"$(nproc)"
rm -rf "$prefix"
cmake --install "$work/build" >/dev/null
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
echo "Qt $version for 64-bit Windows, made by tools/windows/build-qt.sh" >"$prefix/$made_here"
echo "$prefix" >&3
