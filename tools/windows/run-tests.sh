#!/bin/bash
# Cross-builds Lumidra for Windows with mingw-w64 and tests it under Wine:
#   - i686 (32-bit): the device layer, its Windows platform and the key base's
#     code page, without Qt (Qt 6 has no 32-bit Windows build for this
#     toolchain), and their tests;
#   - x86_64 (64-bit): the whole program, lumidra.exe, and the whole test
#     suite on the Qt for Windows in ../shared/qt-mingw (unpacked into the
#     cache by qt-prefix.sh), run with Qt's offscreen platform; then the
#     installer and the zip (cpack, into <build>/packages), installed
#     silently, the installed program started with the windows platform on
#     Xvfb, photographed and closed, and uninstalled (check-installer.sh).
#
#   tools/windows/run-tests.sh
#
# On a fresh Debian 12 it first installs what it needs (as root). Each run uses
# a throwaway Wine prefix, removed at the end. The compiler cache and the
# unpacked Qt stay between runs in the cache folder, outside the repository;
# the build folders are build-win32/ and build-win64/ in the source tree, so
# that every clone compiles the same relative paths and finds its objects in
# the compiler cache. Environment:
#   LUMIDRA_WIN_CACHE       the cache folder (default: ${TMPDIR:-/tmp}/lumidra-win)
#   LUMIDRA_WIN_BUILD_ROOT  where build-win32/ and build-win64/ go (default: the
#                           source tree)
#   LUMIDRA_WIN_ARCHES      which builds to make (default: "i686 x86_64")
# Exits non-zero when anything fails.
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${LUMIDRA_WIN_CACHE:-${TMPDIR:-/tmp}/lumidra-win}
build_root=${LUMIDRA_WIN_BUILD_ROOT:-$root}
arches=${LUMIDRA_WIN_ARCHES:-i686 x86_64}
mkdir -p "$cache" "$build_root"

times=()
now() { date +%s; }
took() { times+=("$1 $(( $(now) - $2 ))s"); }

# --- packages -----------------------------------------------------------------
install_packages() {
    local wanted=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
                  googletest cmake ninja-build ccache
                  qt6-base-dev qt6-base-dev-tools  # the host's moc, uic and rcc
                  qt6-tools-dev qt6-l10n-tools     # the host's lupdate and lrelease
                  qt6-translations-l10n            # Qt's Russian texts, embedded
                  xvfb xdotool x11-utils imagemagick fonts-dejavu-core
                  nsis binutils)  # makensis for the installer; strings reads its shortcuts
    local missing=() p
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages, install them as root: ${missing[*]}" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # 32-bit Wine runs the i686 executables; it comes with the i386 architecture.
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    # shellcheck source=tools/apt-wait.sh
    . "$root/tools/apt-wait.sh"
    apt_get_waiting update -qq || return 1
    apt_get_waiting install -y -qq --no-install-recommends "${missing[@]}" && return 0
    # The i386 packages can fail alone, where the mirror's i386 lists lag
    # behind the machine's own (a library of both architectures must be of one
    # version): the 64-bit part goes on, the 32-bit run is left out, said so.
    local rest=()
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#missing[@]} ] || return 1
    apt_get_waiting install -y -qq --no-install-recommends "${rest[@]}" || return 1
    echo "NOTE: wine32:i386 cannot be installed from this machine's mirror now: the 32-bit device layer's tests are left out of this run" >&2
    no_wine32=1
}

start=$(now)
no_wine32=
install_packages
took install "$start"
[ -z "$no_wine32" ] || arches=${arches//i686/}

# The compiler cache outlives the build folders: a fresh clone elsewhere
# compiles from it (paths below the source tree are hashed relative to it,
# the build folders' own paths not at all).
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CCACHE_DIR=${CCACHE_DIR:-$cache/ccache}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-3G}

# --- Wine -----------------------------------------------------------------------
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
wine_dir=$(mktemp -d "${TMPDIR:-/tmp}/lumidra-wine.XXXXXX")
export WINEPREFIX=$wine_dir/prefix
cleanup() {
    wineserver -k >/dev/null 2>&1 || true  # this prefix's server only
    rm -rf "$wine_dir"
}
trap cleanup EXIT

start=$(now)
"$here/wine-prefix.sh" "$WINEPREFIX"
# One server for the whole run, and Wine's services started now with their
# output detached: otherwise every test starts them anew, they inherit ctest's
# output pipe, and ctest waits for them to let go of it.
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
took prefix "$start"

# --- builds and tests -------------------------------------------------------------
failed=0
for arch in $arches; do
    case $arch in
        i686)
            dir=$build_root/build-win32
            configure=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DLUMIDRA_WITH_QT=OFF)
            ;;
        x86_64)
            dir=$build_root/build-win64
            qt=$("$here/qt-prefix.sh" "$cache")
            # Qt's toolchain file finds Qt and loads the project's own.
            configure=(-DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake"
                       -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
                       -DLUMIDRA_MINGW_SHARED_RUNTIME=ON)
            ;;
        *) echo "unknown architecture: $arch" >&2; exit 2 ;;
    esac
    echo "== $arch: $dir"
    start=$(now)
    # -O2, not CMake's -O3: GCC 12's -O3 warns falsely (-Wrestrict) inside
    # std::string, and the program gains nothing from it.
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
          -DLUMIDRA_BUILD_BENCHMARKS=OFF "${configure[@]}" >/dev/null
    if ! cmake --build "$dir" -j2; then
        failed=1
        took "build-$arch" "$start"
        continue
    fi
    if [ "$arch" = x86_64 ]; then
        # The tests' Qt beside them (Qt Test too), and fonts for the offscreen
        # platform, which on Windows looks for them only in lib/fonts there.
        "$here/deploy-runtime.sh" "$qt" "$dir" Test
        mkdir -p "$dir/bin/lib/fonts"
        cp /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf "$dir/bin/lib/fonts/"
        # The installer and the zip, of the files the install rules name.
        (cd "$dir" && cpack >/dev/null) || failed=1
        ls -l "$dir"/packages/Lumidra-*-win64.* 2>/dev/null | sed 's/^/== made: /' || true
    fi
    took "build-$arch" "$start"
    start=$(now)
    # One program of this architecture first, its output detached: a first
    # start may bring up more of Wine's processes, which would otherwise hold
    # ctest's output pipe, and ctest would wait for them as for a test.
    wine "$dir/bin/keybase_tests.exe" --gtest_list_tests </dev/null >/dev/null 2>&1 || true
    # A helper Wine starts late can still hold the pipe of a test that has
    # passed, until ctest's timeout: such a test is run once more. A test
    # that fails is not repeated.
    ctest --test-dir "$dir" --output-on-failure -j2 --repeat after-timeout:2 || failed=1
    # What cannot run under Wine is skipped, each skip with its reason.
    grep -a -A1 ': Skipped$' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null |
        grep -a -v -e ': Skipped$' -e '^--$' | sort -u | sed 's/^/   skipped: /' || true
    took "ctest-$arch" "$start"
    if [ "$arch" = x86_64 ]; then
        start=$(now)
        # What needs real windows (the session's end is told to them) runs on
        # a display, with Qt's windows platform; a skip there is a failure.
        cases='CloseWindow.SessionEnd*'
        out=$(WINEQT_QPA_PLATFORM=windows "$here/on-display.sh" wine "$dir/bin/app_tests.exe" \
                  --gtest_filter="$cases" </dev/null 2>&1) || failed=1
        echo "$out" | grep -a -e '^\[' | grep -a -v -e '^\[----------\]' -e '^\[==========\]' || true
        echo "$out" | grep -aq 'OK \] CloseWindow.SessionEnd' || { echo "$out" >&2; failed=1; }
        took "on-display-$arch" "$start"
    fi
    if [ "$arch" = x86_64 ] && [ -n "$no_wine32" ]; then
        # The installer is a 32-bit program.
        echo "NOTE: the installer's check is left out of this run: it needs wine32, which cannot be installed now" >&2
    elif [ "$arch" = x86_64 ]; then
        start=$(now)
        # Installed, run on a virtual display and uninstalled as a user would.
        "$here/check-installer.sh" "$dir" "$dir/screenshots" || failed=1
        took "installer-$arch" "$start"
    fi
done

echo "== times: ${times[*]}"
exit $failed
