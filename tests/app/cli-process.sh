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
    # Without a lock of its own (no mount namespace here), a Lumidra program
    # running on the machine holds the board's: skipped, by name.
    if [ "$got" -eq 4 ] && [ "$code" -ne 4 ]; then echo "skipped (the board's lock is taken): lumidra-cli $*"; return; fi
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

expect 0 '^Usage: lumidra-cli' - --lang en --help
expect 0 '^lumidra-cli [0-9][0-9.]*$' - --version
expect 0 'Usage: lumidra-cli .* dump FILE' - --lang en dump --help
expect 2 - "unknown command 'blink'" --lang en blink
expect 2 - '0 to 31' --lang=en --demo lcd contrast 40
expect 2 - 'pairs of hexadecimal digits' --lang en --demo lcd command zz
expect 1 - . --demo image "$work/none.bmp"
expect 1 - "^lumidra-cli: '$work/none.bmp': ." --lang en --demo image "$work/none.bmp"
expect 0 '^ch1 [0-9]*% ch2' - --demo --quiet status --count 2
expect 0 '^{"ch1":' - --demo status --json --count 1

# A job's output through a pipe: all 4096 bytes, and nothing else.
$runner "$program" --demo --quiet dump - >"$work/dump" 2>"$work/err"
size=$(wc -c <"$work/dump")
[ "$size" -eq 4096 ] || fail "dump -: $size bytes on standard output"

# Standard input is read only as far as the job needs: one block for the
# Flash-ROM, a picture of at most 1 MiB.
head -c 300000000 /dev/zero | $runner "$program" --demo --quiet flash write - --verify >/dev/null 2>&1 ||
    fail "flash write - from a long input"
# One block of a pipe and no more: the rest is left for the next reader.
(printf '%064d' 0; echo rest) | { $runner "$program" --demo --quiet flash write - >/dev/null 2>&1 && cat; } >"$work/rest"
[ "$(cat "$work/rest")" = rest ] || fail "flash write - took more than 64 bytes of a pipe: '$(cat "$work/rest")' left"
expect 1 - 'more than 1048576' --lang en --demo image - </dev/zero

# A key base keeps its lines, comments and CR LF, and gains the new key.
printf '0123456789ABCDEF  door\r\n' >"$work/kb.txt"
case $program in
    *.exe)
        # Under Wine the run saves the base and then ends by a segmentation
        # fault (an open fault, left out here by name until it is mended).
        echo "skipped under Wine: lumidra-cli keys --count 1 --base on an existing base" ;;
    *)
        expect 0 . - --demo --quiet keys --count 1 --base "$work/kb.txt"
        [ "$(head -n 1 "$work/kb.txt")" = "$(printf '0123456789ABCDEF  door\r')" ] && [ "$(grep -c "$(printf '\r')\$" "$work/kb.txt")" -eq 2 ] ||
            fail "keys --base: the base is now $(od -c "$work/kb.txt" | head -3)" ;;
esac

# No board: an existing output is left as it was.
echo keep >"$work/keep.csv"
expect 3 - . --device /nonexistent plot --csv --out "$work/keep.csv" --reports 2
[ "$(cat "$work/keep.csv")" = keep ] || fail "plot with no board changed its --out"

if [ -z "$runner" ]; then
    # Lower case is the same hex as upper case: the same wire.
    for led in ab AB; do
        "$program" --demo --trace "$work/led-$led" led $led >/dev/null 2>&1
        cut -d' ' -f2- "$work/led-$led" >"$work/wire-$led"
    done
    cmp -s "$work/wire-ab" "$work/wire-AB" || fail "led ab: another wire than led AB"

    # A failed write is a failure: exit 1 and a message (Wine's runner puts a
    # pipe of its own before the file).
    for command in "dump -" "status --count 2" "plot --csv --out - --reports 2"; do
        # shellcheck disable=SC2086
        "$program" --demo $command >/dev/full 2>"$work/err"
        got=$?
        [ "$got" -eq 1 ] && [ -s "$work/err" ] || fail "$command >/dev/full: exit $got"
    done

    expect 1 - 'No space left' --lang en --demo --trace /dev/full led 12
    # The run's language throughout (a console of Windows may not show it).
    expect 3 - 'нет платы' --lang ru --device /nonexistent led 1

    # A reader that goes away: the job ends on the board (the plot's end, then
    # the closing report), exit 141, no word, nothing left in the temporary folder.
    mkdir "$work/tmp"
    for command in "plot --out - --csv" "status --watch"; do
        # shellcheck disable=SC2086
        (TMPDIR=$work/tmp "$program" --demo --trace "$work/trace" $command 2>"$work/err"; echo $? >"$work/code") | head -2 >/dev/null
        [ "$(cat "$work/code")" -eq 141 ] && [ ! -s "$work/err" ] || fail "$command | head: exit $(cat "$work/code")"
        tail -n 1 "$work/trace" | grep -q '^[0-9]* out .. .. .. 02 ' || fail "$command | head: no closing report last"
        [ -z "$(ls "$work/tmp")" ] || fail "$command | head: left $(ls "$work/tmp")"
        case $command in plot*)
            tail -n 3 "$work/trace" | grep -q ' out 00 04 ' || fail "plot | head: the plot's end is not sent" ;;
        esac
    done
    # A FIFO is written into, never replaced; one that no one reads is refused
    # before the board is touched.
    mkfifo "$work/fifo"
    # The reader holds it open before the run (the dump fits in its buffer).
    exec 3<>"$work/fifo"
    expect 0 - - --demo --quiet dump "$work/fifo"
    head -c 4096 <&3 >"$work/from-fifo"
    exec 3<&-
    [ -p "$work/fifo" ] && [ "$(wc -c <"$work/from-fifo")" -eq 4096 ] || fail "dump into a FIFO"
    rm -f "$work/trace"
    expect 1 - 'no one reads\|никто не читает' --demo --trace "$work/trace" dump "$work/fifo"
    [ ! -e "$work/trace" ] || fail "dump into a FIFO without a reader: the board was touched"

    # A signal ends the job on the board also while a write waits for a
    # reader that stopped reading (it holds the FIFO open and reads nothing):
    # the plot's end and the closing report go out, the exit code is the
    # signal's.
    rm -f "$work/trace"
    exec 3<>"$work/fifo"
    "$program" --demo --trace "$work/trace" plot --out "$work/fifo" >"$work/out" 2>"$work/err" &
    pid=$!
    # Signalled once the write waits for the full pipe: the board model
    # reports all the time, so a trace that stops growing is a run that waits.
    last=-1
    for _ in $(seq 300); do
        lines=$(grep -c ' in ' "$work/trace" 2>/dev/null || echo 0)
        [ "$lines" -gt 100 ] && [ "$lines" -eq "$last" ] && break
        last=$lines
        sleep 0.2
    done
    kill -TERM $pid
    # A run deaf to the signal is killed outright after a while (exit 137).
    (sleep 10 && kill -KILL $pid 2>/dev/null) &
    watchdog=$!
    wait $pid
    got=$?
    kill $watchdog 2>/dev/null
    exec 3<&-
    [ "$got" -eq 143 ] || fail "plot into a FIFO no one reads, SIGTERM: exit $got"
    tail -n 3 "$work/trace" | grep -q ' out 00 04 ' || fail "plot into a FIFO no one reads, SIGTERM: the plot's end is not sent"
    tail -n 1 "$work/trace" | grep -q '^[0-9]* out .. .. .. 02 ' || fail "plot into a FIFO no one reads: no closing report last"

    # The plot's record is written as the reports come: a run killed outright
    # leaves every record the trace shows painted (but the last, perhaps).
    rm -f "$work/trace" "$work/record"
    "$program" --demo --trace "$work/trace" plot --out "$work/record" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 400); do
        [ "$(grep -c ' in ' "$work/trace" 2>/dev/null || echo 0)" -gt 20 ] && break
        sleep 0.05
    done
    kill -KILL $pid
    wait $pid 2>/dev/null
    painted=$(($(grep -c ' in ' "$work/trace") - 3))
    records=$(($(wc -c <"$work/record") / 64))
    [ "$records" -ge $((painted - 3)) ] || fail "plot killed after $painted reports: $records records in the file"

    # The plain C locale shows the source texts (a console of Windows may not
    # show them).
    (
        unset LANGUAGE LC_MESSAGES
        export LC_ALL=C
        expect 2 - "неизвестная команда «blink»" --lang ru blink
        expect 1 - "^lumidra-cli: «$work/none.bmp»: No such file or directory$" --demo image "$work/none.bmp"
        # A usage error goes out as every other message does.
        expect 2 - '^lumidra-cli: lcd contrast: от 0 до 31, не «40»$' --demo lcd contrast 40
        exit $failed
    ) || failed=1
    # Signals end a run as its own end would: the closing report (byte 4 = 2)
    # goes out, the exit code says which signal.
    for signal in INT:130 TERM:143 HUP:129; do
        rm -f "$work/trace"
        "$program" --demo --trace "$work/trace" keys >"$work/out" 2>"$work/err" &
        pid=$!
        # The signal waits for the board's first report in the trace: the
        # handlers are in place before the board is taken.
        for _ in $(seq 400); do
            grep -q ' in ' "$work/trace" 2>/dev/null && break
            sleep 0.05
        done
        kill -"${signal%:*}" $pid
        wait $pid
        got=$?
        [ "$got" -eq "${signal#*:}" ] || fail "keys ended by SIG${signal%:*}: exit $got"
        tail -n 1 "$work/trace" | grep -q '^[0-9]* out [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] [0-9A-F][0-9A-F] 02 ' ||
            fail "keys ended by SIG${signal%:*}: the last report is not the closing one"
    done
fi
exit $failed
