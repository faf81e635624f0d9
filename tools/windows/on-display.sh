#!/bin/bash
# Runs a command where a Windows program can show windows: on a virtual X
# display (Xvfb) with a Wine prefix of its own, made for it and removed after
# it (its Wine server stopped). Inside, DISPLAY, WINEPREFIX and
# LUMIDRA_RUN_PREFIX (the same prefix) are set, so that a script run inside
# runs nothing twice. Wine makes no menu entries on the host's desktop.
#
#   tools/windows/on-display.sh COMMAND [ARGUMENTS...]
#
# Exits with the command's exit code.
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"
[ $# -gt 0 ] || { echo "usage: on-display.sh COMMAND [ARGUMENTS...]" >&2; exit 2; }

if [ -z "${LUMIDRA_ON_XVFB:-}" ]; then
    LUMIDRA_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
if [ -n "${LUMIDRA_RUN_PREFIX:-}" ]; then
    export WINEPREFIX=$LUMIDRA_RUN_PREFIX
    exec "$@"
fi

wine_dir=$(mktemp -d "${TMPDIR:-/tmp}/lumidra-wine-x11.XXXXXX")
export WINEPREFIX=$wine_dir/prefix LUMIDRA_RUN_PREFIX=$wine_dir/prefix
cleanup() {
    wineserver -k >/dev/null 2>&1 || true  # this prefix's server only
    rm -rf "$wine_dir"
}
trap cleanup EXIT
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
status=0
"$@" || status=$?
exit $status
