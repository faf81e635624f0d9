#!/bin/bash
# Builds the device layer, its Windows platform and their tests for 32-bit and
# 64-bit Windows with mingw-w64, and runs the tests under Wine.
#
#   tools/windows/run-tests.sh
#
# On a fresh Debian 12 it first installs what it needs (as root). Each run
# uses a throwaway Wine prefix, removed at the end. Environment:
#   LUMIDRA_WIN_BUILD_ROOT  where build-win32/ and build-win64/ go (default: the source tree)
#   LUMIDRA_WIN_ARCHES      which builds to make (default: "i686 x86_64")
# Exits non-zero when anything fails.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build_root=${LUMIDRA_WIN_BUILD_ROOT:-$root}
arches=${LUMIDRA_WIN_ARCHES:-i686 x86_64}

times=()
now() { date +%s; }
took() { times+=("$1 $(( $(now) - $2 ))s"); }

# --- packages -----------------------------------------------------------------
install_packages() {
    local wanted=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
                  googletest cmake ninja-build)
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
    local log
    log=$(mktemp)
    if ! { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}"; } \
         >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

start=$(now)
install_packages
took install "$start"

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
        i686) dir=$build_root/build-win32 ;;
        x86_64) dir=$build_root/build-win64 ;;
        *) echo "unknown architecture: $arch" >&2; exit 2 ;;
    esac
    echo "== $arch: $dir"
    start=$(now)
    cmake -S "$root" -B "$dir" -G Ninja \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
          -DLUMIDRA_WITH_QT=OFF -DLUMIDRA_BUILD_BENCHMARKS=OFF >/dev/null
    if ! cmake --build "$dir" -j2; then
        failed=1
        took "build-$arch" "$start"
        continue
    fi
    took "build-$arch" "$start"
    start=$(now)
    ctest --test-dir "$dir" --output-on-failure -j2 || failed=1
    took "ctest-$arch" "$start"
done

echo "== times: ${times[*]}"
exit $failed
