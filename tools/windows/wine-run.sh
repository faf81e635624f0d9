#!/bin/sh
# CMAKE_CROSSCOMPILING_EMULATOR of the Windows builds: runs a Windows
# executable under Wine without a display, in a throwaway prefix that is made
# on first use. The exit code is the executable's.
set -eu
WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/lumidra-wine}
WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX WINEDEBUG
unset DISPLAY WAYLAND_DISPLAY
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
exec wine "$@"
