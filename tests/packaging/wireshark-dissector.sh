#!/bin/sh
# wireshark-dissector.sh LUMIDRA-CLI DISSECTOR -- tshark with the board's
# dissector reads the pcapng trace that each job of `lumidra-cli --demo`
# writes, beside the text trace of the same run: every report present, in
# order, with its bytes, decoded (the job's own kind among them), none
# malformed. A capture cut in the middle of a dump shows "unknown", not
# malformed. Prints the reports decoded per job. Skipped (77) without tshark.
set -u
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dissector=$2
command -v tshark >/dev/null 2>&1 || { echo "SKIP: tshark is not installed (tools/install-deps.sh installs it)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Only this dissector: none installed for the user or the system.
export HOME=$work WIRESHARK_PLUGIN_DIR=$work/none
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# tshark's reading: direction, the 64 bytes, kind, job, malformation.
fields() {
    tshark -X lua_script:"$dissector" -r "$@" -T fields -E separator='|' -E occurrence=f \
        -e lumidra.direction -e lumidra.report -e lumidra.kind -e lumidra.job -e lumidra.malformed 2>/dev/null
}

head -c 64 /dev/urandom >"$work/block.bin"
picture=$(cd "$(dirname "$0")/../fuzz/corpus/picture_file" && pwd)/pattern_black_first.bmp
# job | its arguments | a kind and job tshark must show
while IFS='|' read -r job arguments kind name; do
    wanted="$kind|$name"
    arguments=$(echo "$arguments" | sed "s|PICTURE|$picture|")
    # shellcheck disable=SC2086 # the arguments are words
    (cd "$work" && ${LUMIDRA_RUNNER:-} "$cli" --demo --quiet --trace run.txt --trace run.pcapng $arguments </dev/null >/dev/null 2>&1) ||
        { fail "$job: lumidra-cli $arguments failed"; continue; }
    fields "$work/run.pcapng" -Y lumidra >"$work/read"
    # The text trace as tshark prints it: direction and lower-case hex.
    awk '{ printf "%s|", $2; for (i = 3; i <= NF; i++) printf "%s", tolower($i); print "" }' "$work/run.txt" >"$work/want"
    cut -d'|' -f1,2 "$work/read" | cmp -s - "$work/want" || fail "$job: the reports differ from the text trace"
    awk -F'|' '$3 == "unknown"' "$work/read" | grep -q . && fail "$job: a report of unknown kind"
    awk -F'|' '$5 != ""' "$work/read" | grep -q . && fail "$job: malformed: $(awk -F'|' '$5 != ""' "$work/read")"
    grep -qF "|$wanted|" "$work/read" || fail "$job: no '$wanted'"
    echo "$job: $(wc -l <"$work/read") reports decoded ($(cut -d'|' -f3 "$work/read" | sort | uniq -c |
        awk '{ n = $1; $1 = ""; printf "%s%s%s", sep, n, $0; sep = ", " }'))"
    [ "$job" = dump ] && cp "$work/run.pcapng" "$work/dump.pcapng"
done <<'EOF'
status|status --count 3|status|
led|led 12AB --ind1 on|state|
lcd text 1x|lcd text Hello|data|LCD text 1x
lcd text 1.5x|lcd text Hello --size 1.5x|data|LCD text 1.5x
lcd command|lcd command AE2F|data|LCD command
lcd contrast|lcd contrast 13|data|LCD command
lcd backlight|lcd backlight off|state|
image|image PICTURE|data|LCD picture
splash|splash --seconds 1|job|splash screen
flash read|flash read block.out|Flash-ROM data|Flash-ROM read
flash erase|flash erase|job|Flash-ROM erase
flash write|flash write block.bin|data|Flash-ROM write
dump|dump memory.bin|dump data|memory dump
plot|plot --out plot.rec --reports 5|plot points|plot
EOF

# The dump's middle alone, read as the board's (Decode As, bus 0 device 1).
editcap -r "$work/dump.pcapng" "$work/cut.pcapng" 100-400 2>/dev/null
fields "$work/cut.pcapng" -d usb.device==1,lumidra -Y lumidra >"$work/read"
awk -F'|' '$3 == "unknown"' "$work/read" | grep -q . || fail "cut capture: no report of unknown kind"
awk -F'|' '$5 != ""' "$work/read" | grep -q . && fail "cut capture: a malformed report"
echo "a dump cut in its middle: $(wc -l <"$work/read") reports, $(grep -c '|unknown|' "$work/read") unknown"
exit $failed
