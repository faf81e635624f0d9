#!/bin/bash
# Starts the Windows program under Wine with Qt's windows platform on a
# virtual X display (Xvfb), waits for its window, photographs the screen, and
# closes the window as a user does (Alt+F4, then OK in the close warning if
# one comes). Fails unless the window showed and the program then ended by
# itself with exit code 0.
#
#   tools/windows/run-program.sh LUMIDRA_EXE SHOT_DIR [ARGUMENTS...]
#
# The pictures go to SHOT_DIR: window.png (the running program) and, when the
# close asks first, closing.png. It runs on the display and in the Wine prefix
# of on-display.sh: a throwaway one, unless LUMIDRA_RUN_PREFIX names one (a
# program installed there, say).
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"

exe=${1:?usage: run-program.sh LUMIDRA_EXE SHOT_DIR [ARGUMENTS...]}
shots=${2:?usage: run-program.sh LUMIDRA_EXE SHOT_DIR [ARGUMENTS...]}
shift 2
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)

# Once more on a display, in a prefix.
if [ -z "${LUMIDRA_ON_XVFB:-}" ] || [ -z "${LUMIDRA_RUN_PREFIX:-}" ]; then
    exec "$(dirname "$0")/on-display.sh" "$0" "$exe" "$shots" "$@"
fi
export WINEPREFIX=$LUMIDRA_RUN_PREFIX WINEDEBUG=-all

wine_dir=$(mktemp -d "${TMPDIR:-/tmp}/lumidra-run.XXXXXX")
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    rm -rf "$wine_dir"
}
trap cleanup EXIT

log=$wine_dir/program.log
# Wine hands the variable to the program without its WINE prefix: Qt's
# messages go to the log instead of the debugger channel.
WINEQT_FORCE_STDERR_LOGGING=1 wine "$exe" "$@" </dev/null >"$log" 2>&1 &
program=$!

# The main window: a visible top-level window whose title starts "Lumidra".
window=
for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --name '^Lumidra' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    if ! kill -0 "$program" 2>/dev/null; then break; fi
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "run-program: no window appeared" >&2
    cat "$log" >&2
    exit 1
fi
echo "run-program: window \"$(xdotool getwindowname "$window")\" $(xwininfo -id "$window" | awk '/Width|Height/ {printf "%s ", $2}')"

# Long enough for the first status reports (and, with --demo, a key).
sleep "${LUMIDRA_PROGRAM_SHOW_SECONDS:-8}"
import -window root "$shots/window.png"

# Closed as a user closes it: Alt+F4 on the main window.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
for _ in $(seq 20); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    # The close warns first (an unsaved key base): answer OK.
    import -window root "$shots/closing.png"
    box=$(xdotool getactivewindow 2>/dev/null || true)
    [ -n "$box" ] && echo "run-program: close asks in \"$(xdotool getwindowname "$box")\""
    xdotool key Return
fi
status=0
for _ in $(seq 40); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    echo "run-program: the program did not end after its close" >&2
    cat "$log" >&2
    exit 1
fi
wait "$program" || status=$?
program=
if [ "$status" != 0 ]; then
    echo "run-program: the program ended with exit code $status" >&2
    cat "$log" >&2
    exit 1
fi
echo "run-program: closed cleanly (exit code 0); pictures in $shots"
