#!/bin/sh
# The program's command line end to end, with no display at all: help and
# version on standard output with exit 0 and nothing on standard error; an
# unknown option refused with the usage on standard error, exit 2, nothing on
# standard output; both in the language asked for.
set -u
program=$1
# A cross-built program runs through its emulator (Wine for Windows).
runner=${LUMIDRA_RUNNER:-}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failed=0
start() { $runner "$program" "$@"; }
# run WANTED-EXIT QUIET-STREAM PATTERN ARGUMENT...: PATTERN in the other stream.
run() {
    wanted=$1 stream=$2 pattern=$3
    shift 3
    start "$@" >"$out" 2>"$err"
    code=$?
    if [ "$stream" = out ]; then quiet=$out loud=$err; else quiet=$err loud=$out; fi
    # A Windows program ends its lines with CR LF.
    if [ $code -ne "$wanted" ] || [ -s "$quiet" ] || ! tr -d '\r' <"$loud" | grep -q "$pattern"; then
        echo "FAIL: lumidra $*: exit $code, wanted $wanted"
        echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
        failed=1
    fi
}
run 0 err '^Usage: lumidra' --lang en --help
run 0 err '^lumidra [0-9][0-9.]*$' --version
run 2 out "^lumidra: unrecognised option '--no-such-option'" --lang en --no-such-option
run 2 out '^Usage: lumidra' --lang en --no-such-option
# Help and refusals in the language asked for; a value missing is said so.
run 2 out "^lumidra: option '--trace' needs a value" --lang en --trace
# (Wine writes the system's 8-bit code page, not UTF-8.)
if [ -z "$runner" ]; then
    run 0 err '^Использование: lumidra' --help --lang ru
    run 2 out "^lumidra: параметру '--trace' нужно значение" --lang ru --trace
fi
# On Windows, started by the command prompt with its output redirected: the
# output stays where the prompt sends it (Wine's drive Z: is the root).
if [ -n "$runner" ]; then
    windows_name=Z:$(printf '%s' "$program" | tr / '\134')
    start() { $runner cmd /c "$windows_name $*"; }
    run 0 err '^lumidra [0-9][0-9.]*$' --version
    run 2 out '^Usage: lumidra' --lang en --no-such-option
fi
exit $failed
