#!/bin/sh
# lumidra-cli as a process: what it prints where, its exit codes, a job's
# output through a pipe, and (on Linux) the end by Ctrl+C and by SIGTERM, with
# the board told as at every end.
set -u
program=$1
runner=${LUMIDRA_RUNNER:-}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"; failed=1; }

# expect CODE STDOUT-PATTERN|- STDERR-PATTERN|- ARGUMENT...: "-" wants the stream empty.
expect() {
    code=$1 out=$2 err=$3
    shift 3
    $runner "$program" "$@" >"$work/out" 2>"$work/err"
    got=$?
    if [ "$got" -ne "$code" ]; then fail "lumidra-cli $*: exit $got, wanted $code"; return; fi
    for stream in out err; do
        eval pattern=\$$stream
        if [ "$pattern" = - ]; then
            [ -s "$work/$stream" ] && fail "lumidra-cli $*: something on std$stream"
        elif ! tr -d '\r' <"$work/$stream" | grep -q -- "$pattern"; then
            fail "lumidra-cli $*: no '$pattern' on std$stream"
        fi
    done
}

expect 0 '^Usage: lumidra-cli' - --help
expect 0 '^lumidra-cli [0-9][0-9.]*$' - --version
expect 0 'Usage: lumidra-cli .* dump FILE' - dump --help
expect 2 - "unknown command 'blink'" blink
expect 2 - '0 to 31' --demo lcd contrast 40
expect 2 - 'no complete pair' --demo lcd command zz
expect 1 - . --demo image "$work/none.bmp"
expect 1 - '^lumidra-cli: The picture file could not be read.$' --lang en --demo image "$work/none.bmp"
expect 0 '^ch1 [0-9]*% ch2' - --demo --quiet status --count 2
expect 0 '^{"ch1":' - --demo status --json --count 1

# A job's output through a pipe: all 4096 bytes, and nothing else.
$runner "$program" --demo --quiet dump - >"$work/dump" 2>"$work/err"
size=$(wc -c <"$work/dump")
[ "$size" -eq 4096 ] || fail "dump -: $size bytes on standard output"

if [ -z "$runner" ]; then
    # The plain C locale shows the source texts (a console of Windows may not
    # show them).
    (
        unset LANGUAGE LC_MESSAGES
        export LC_ALL=C
        expect 1 - '^lumidra-cli: Файл изображения не удалось прочитать.$' --demo image "$work/none.bmp"
        exit $failed
    ) || failed=1
    # Signals end a run as its own end would: the closing report (byte 4 = 2)
    # goes out, the exit code says which signal.
    for signal in INT:130 TERM:143; do
        "$program" --demo --trace "$work/trace" keys >"$work/out" 2>"$work/err" &
        pid=$!
        sleep 1
        kill -"${signal%:*}" $pid
        wait $pid
        got=$?
        [ "$got" -eq "${signal#*:}" ] || fail "keys ended by SIG${signal%:*}: exit $got"
        tail -n 1 "$work/trace" | grep -q '^[0-9]* out [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] 02 ' ||
            fail "keys ended by SIG${signal%:*}: the last report is not the closing one"
    done
fi
exit $failed
