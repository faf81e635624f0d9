#!/bin/sh
# The program's command line end to end, with no display at all: help and
# version on standard output with exit 0 and nothing on standard error; an
# unknown option refused with the usage on standard error, exit 2, nothing on
# standard output.
set -u
program=$1
# A cross-built program runs through its emulator (Wine for Windows).
runner=${LUMIDRA_RUNNER:-}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failed=0
start() { $runner "$program" "$1"; }
# run WANTED-EXIT QUIET-STREAM PATTERN ARGUMENT: PATTERN in the other stream.
run() {
    start "$4" >"$out" 2>"$err"
    code=$?
    if [ "$2" = out ]; then quiet=$out loud=$err; else quiet=$err loud=$out; fi
    # A Windows program ends its lines with CR LF.
    if [ $code -ne "$1" ] || [ -s "$quiet" ] || ! tr -d '\r' <"$loud" | grep -q "$3"; then
        echo "FAIL: lumidra $4: exit $code, wanted $1"
        echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
        failed=1
    fi
}
run 0 err '^Usage: lumidra' --help
run 0 err '^lumidra [0-9][0-9.]*$' --version
run 2 out "^lumidra: unrecognised option '--no-such-option'" --no-such-option
run 2 out '^Usage: lumidra' --no-such-option
# On Windows, started by the command prompt with its output redirected: the
# output stays where the prompt sends it (Wine's drive Z: is the root).
if [ -n "$runner" ]; then
    windows_name=Z:$(printf '%s' "$program" | tr / '\134')
    start() { $runner cmd /c "$windows_name $1"; }
    run 0 err '^lumidra [0-9][0-9.]*$' --version
    run 2 out '^Usage: lumidra' --no-such-option
fi
exit $failed
