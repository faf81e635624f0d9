#!/bin/sh
# wireshark-dissector.sh LUMIDRA-CLI DISSECTOR -- tshark with the board's
# dissector reads the pcapng trace that each job of `lumidra-cli --demo`
# writes, beside the text trace of the same run: every report present, in
# order, with its bytes, decoded, none malformed, none unknown; each run's
# expected fields (a display filter some frame matches, and that frame's
# Info), the plot points' x and y as the report's bytes. A capture cut in the
# middle of a dump shows "unknown", not malformed. Prints the reports decoded
# per job. Skipped (77) without tshark.
#
# tshark runs as an ordinary user (nobody) when this runs as root: Wireshark
# 4.4 runs no Lua script for root. LUMIDRA_TSHARK_ROOT=DIR runs the tshark of
# another system root instead, through chroot (as root), e.g. a Debian 13 one:
#   mmdebstrap --variant=apt --include=tshark trixie /var/cache/lumidra/trixie-tshark
set -u
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=${LUMIDRA_TSHARK_ROOT:-}
if [ -n "$root" ]; then
    [ -x "$root/usr/bin/tshark" ] || { echo "FAIL: no tshark in $root"; exit 1; }
    work=$(mktemp -d -p "$root/tmp")
else
    command -v tshark >/dev/null 2>&1 || { echo "SKIP: tshark is not installed (tools/install-deps.sh installs it)"; exit 77; }
    work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$2" "$work/lumidra.lua"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# tshark ARGUMENTS... in $work, with only this dissector (none installed for
# the user or the system), files named relative to $work.
ts() {
    if [ -n "$root" ]; then
        set -- chroot --userspec=65534:65534 "$root" env -C "${work#"$root"}" HOME="${work#"$root"}" tshark "$@"
    elif [ "$(id -u)" = 0 ]; then
        set -- setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work" tshark "$@"
    else
        set -- env HOME="$work" tshark "$@"
    fi
    (cd "$work" && WIRESHARK_PLUGIN_DIR=none "$@" -X lua_script:lumidra.lua 2>/dev/null)
}

# tshark's reading: direction, the 64 bytes, kind, job, malformation, the
# plot points' x and y.
fields() {
    ts -r "$@" -T fields -E separator='|' -E occurrence=a -E aggregator=, \
        -e lumidra.direction -e lumidra.report -e lumidra.kind -e lumidra.job -e lumidra.malformed \
        -e lumidra.point.x -e lumidra.point.y
}

# Each plot points report's x and y, against the report's bytes 0, 2, ... and
# 1, 3, ...: the lines that differ.
points_differ() {
    awk -F'|' 'function digit(at) { return index("0123456789abcdef", substr($2, at, 1)) - 1 }
               function byte(i) { return digit(2 * i + 1) * 16 + digit(2 * i + 2) }
               $3 == "plot points" { x = ""; y = ""
                                     for (i = 0; i < 32; i++) { x = x "," byte(2 * i); y = y "," byte(2 * i + 1) }
                                     if ("," $6 != x || "," $7 != y) print }' "$1"
}

head -c 64 /dev/urandom >"$work/block.bin"
picture=$(cd "$(dirname "$0")/../fuzz/corpus/picture_file" && pwd)/pattern_black_first.bmp
# job | its arguments | SIGINT once the text trace has this many lines (the
# job cut short) | a display filter some frame must match | text in its Info
while IFS='|' read -r job arguments cut filter info; do
    arguments=$(echo "$arguments" | sed "s|PICTURE|$picture|")
    rm -f "$work/run.txt" "$work/run.pcapng"
    # shellcheck disable=SC2086 # the arguments are words
    (cd "$work" && exec ${LUMIDRA_RUNNER:-} "$cli" --demo --quiet --trace run.txt --trace run.pcapng $arguments </dev/null >/dev/null 2>&1) &
    pid=$!
    if [ -n "$cut" ]; then
        while kill -0 $pid 2>/dev/null && [ "$(wc -l 2>/dev/null <"$work/run.txt" || echo 0)" -lt "$cut" ]; do sleep 0.02; done
        kill -INT $pid 2>/dev/null
    fi
    wait $pid
    rc=$?
    [ "$rc" -eq "$([ -n "$cut" ] && echo 130 || echo 0)" ] || { fail "$job: lumidra-cli $arguments exited $rc"; continue; }
    fields run.pcapng -Y lumidra >"$work/read"
    # The text trace as tshark prints it: direction and lower-case hex.
    awk '{ printf "%s|", $2; for (i = 3; i <= NF; i++) printf "%s", tolower($i); print "" }' "$work/run.txt" >"$work/want"
    cut -d'|' -f1,2 "$work/read" | cmp -s - "$work/want" || fail "$job: the reports differ from the text trace"
    awk -F'|' '$3 == "unknown"' "$work/read" | grep -q . && fail "$job: a report of unknown kind"
    awk -F'|' '$5 != ""' "$work/read" | grep -q . && fail "$job: malformed: $(awk -F'|' '$5 != ""' "$work/read")"
    points_differ "$work/read" | grep -q . && fail "$job: plot points' x and y are not the report's bytes"
    ts -r run.pcapng -Y "$filter" | grep -qF -- "$info" || fail "$job: no frame of '$filter' with '$info'"
    echo "$job: $(wc -l <"$work/read") reports decoded ($(cut -d'|' -f3 "$work/read" | sort | uniq -c |
        awk '{ n = $1; $1 = ""; printf "%s%s%s", sep, n, $0; sep = ", " }'))"
    case $job in dump | "flash erase" | "plot cut") cp "$work/run.pcapng" "$work/$job.pcapng" ;; esac
done <<'EOF'
status|status --count 3||lumidra.kind == "status" && lumidra.key == "0100000A1B2C3D4E"|inputs off, key held 0100000A1B2C3D4E
led|led 12AB --ind1 on||lumidra.led == "12AB" && lumidra.indicator1 == 1 && lumidra.indicator2 == 0|state: LED 12AB, indicator 1 on, backlight on
lcd text 1x|lcd text Hello||lumidra.kind == "data" && lumidra.job == "LCD text 1x"|LCD text 1x, 1 of 3
lcd text 1.5x|lcd text Hello --size 1.5x||lumidra.kind == "data" && lumidra.job == "LCD text 1.5x"|LCD text 1.5x, 1 of 2
lcd command|lcd command AE2F||lumidra.kind == "data" && lumidra.job == "LCD command"|LCD command, 1 of 1
lcd contrast|lcd contrast 13||lumidra.contrast == 13|LCD command, 1 of 1
lcd backlight|lcd backlight off||lumidra.command == 5|backlight off
image|image PICTURE||lumidra.kind == "data" && lumidra.job == "LCD picture"|LCD picture, 14 of 14
splash|splash --seconds 1||lumidra.job == "end of splash screen"|job: end of splash screen
flash read|flash read block.out||lumidra.kind == "Flash-ROM data" && lumidra.job == "Flash-ROM read"|the block
flash erase|flash erase||lumidra.kind == "job" && lumidra.job == "Flash-ROM erase"|job: Flash-ROM erase
flash write|flash write block.bin||lumidra.kind == "data" && lumidra.job == "Flash-ROM write"|Flash-ROM write, 1 of 1
dump|dump memory.bin||lumidra.kind == "dump data" && lumidra.offset == 0xFC0|offset 0x0FC0
plot|plot --out plot.rec --reports 5||lumidra.kind == "plot points" && lumidra.counter == 3|plot points: counter 3
dump cut|dump memory.bin|20|lumidra.kind == "job" && lumidra.job == "end of memory dump"|out job: end of memory dump
plot cut|plot --out plot.rec|20|lumidra.kind == "job" && lumidra.job == "end of plot"|out job: end of plot
configuration|status --count 1||usbhid.descriptor.hid.wDescriptorLength == 34 && usb.bInterval == 10|GET DESCRIPTOR Response CONFIGURATION
report descriptor|status --count 1||usbhid.item.global.report_count == 64|GET DESCRIPTOR Response HID Report
EOF

# The cut plot's end after the board has gone and come back: the trace's
# enumeration and attach (the frames before the plot's request) again before it.
end=$(ts -r "plot cut.pcapng" -Y 'lumidra.job == "end of plot"' -T fields -e frame.number)
request=$(ts -r "plot cut.pcapng" -Y 'lumidra.job_request == 1' -T fields -e frame.number | head -n 1)
editcap -r "$work/plot cut.pcapng" "$work/before.pcapng" "1-$((end - 1))" 2>/dev/null
editcap -r "$work/plot cut.pcapng" "$work/back.pcapng" "1-$((request - 1))" 2>/dev/null
editcap -r "$work/plot cut.pcapng" "$work/after.pcapng" "$end-1000000" 2>/dev/null
mergecap -a -w "$work/replug.pcapng" "$work/before.pcapng" "$work/back.pcapng" "$work/after.pcapng"
fields replug.pcapng -Y lumidra >"$work/read"
awk -F'|' '$5 != ""' "$work/read" | grep -q . && fail "plot cut, board back: a malformed report"
grep -q '^out|00.*|job|end of plot|' "$work/read" || fail "plot cut, board back: no end of plot"

# Another run's job after the cut plot, on the board as it was (one capture
# of both runs): the plot's last answer never came.
first=$(ts -r "flash erase.pcapng" -Y lumidra -T fields -e frame.number | head -n 1)
editcap -r "$work/flash erase.pcapng" "$work/next.pcapng" "$first-1000000" 2>/dev/null
mergecap -a -w "$work/two.pcapng" "$work/plot cut.pcapng" "$work/next.pcapng"
fields two.pcapng -Y lumidra >"$work/read"
awk -F'|' '$5 != ""' "$work/read" | grep -q . && fail "plot cut, then a job: a malformed report"
grep -q '^out|10.*|job|Flash-ROM erase|' "$work/read" || fail "plot cut, then a job: no Flash-ROM erase"

# The dump's middle alone, read as the board's (Decode As, bus 0 device 1).
editcap -r "$work/dump.pcapng" "$work/cut.pcapng" 100-400 2>/dev/null
fields cut.pcapng -d usb.device==1,lumidra -Y lumidra >"$work/read"
awk -F'|' '$3 == "unknown"' "$work/read" | grep -q . || fail "cut capture: no report of unknown kind"
awk -F'|' '$5 != ""' "$work/read" | grep -q . && fail "cut capture: a malformed report"
echo "a dump cut in its middle: $(wc -l <"$work/read") reports, $(grep -c '|unknown|' "$work/read") unknown"
exit $failed
