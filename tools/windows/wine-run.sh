#!/bin/bash
# CMAKE_CROSSCOMPILING_EMULATOR of the Windows builds: runs a Windows
# executable under Wine without a display, in a throwaway prefix that is made
# on first use. The exit code is the executable's.
#
# Now and then, on a loaded machine, Wine fails to start the executable at all
# ("Application could not be started ... ShellExecuteEx failed: Internal
# error", within a tenth of a second): nothing of the test has run, so that
# one failure is retried, up to three starts. Any other failure is the test's.
set -eu
WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/lumidra-wine}
WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX WINEDEBUG
unset DISPLAY WAYLAND_DISPLAY
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
said=$(mktemp)
trap 'rm -f "$said"' EXIT
for start in 1 2 3; do
    rc=0
    # Wine's launcher says it on standard output, where the test's own
    # output goes too: retried only when the launcher's two lines are all.
    wine "$@" > >(tee "$said") || rc=$?
    wait  # for tee, so the file is complete
    if [ "$rc" -ne 0 ] && grep -q '^ShellExecuteEx failed' "$said" &&
       [ "$(grep -c . "$said")" -le 2 ]; then
        echo "wine-run: Wine could not start $1 (start $start of 3)" >&2
        sleep 1
        continue
    fi
    exit "$rc"
done
exit "$rc"
