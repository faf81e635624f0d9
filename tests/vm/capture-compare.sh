#!/bin/sh
# capture-compare.sh DISSECTOR CAPTURE TRACE... -- tshark with the board's
# dissector reads a usbmon capture of the bus and the program's own pcapng
# traces of runs made while it was captured, and the fields of each trace's
# reports must come back from the capture: per direction, in order, as one
# unbroken stretch (the capture also holds what other runs exchanged, and the
# board's reports that usbhid took while no run read them). The capture's
# own reports are all decoded, none unknown, none malformed. Prints the
# reports decoded and where each trace was found; exit code 1 on a difference.
# tests/vm/run.sh runs it on this machine after the guest's run (tshark under
# emulation would take a minute and a half).
set -u
dissector=${1:?usage: capture-compare.sh DISSECTOR CAPTURE TRACE...}
capture=${2:?usage: capture-compare.sh DISSECTOR CAPTURE TRACE...}
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Only this dissector: none installed for the user or the system.
export HOME=$work WIRESHARK_PLUGIN_DIR=$work/none
failed=0

# fields FILE NAME: each report's direction, kind and job, its decoded
# fields, malformation and bytes, and where on the bus it went (bus, device,
# endpoint), into NAME.out and NAME.in.
fields() {
    tshark -X lua_script:"$dissector" -r "$1" -Y lumidra -T fields -E separator='|' -E occurrence=f \
        -e lumidra.direction -e lumidra.kind -e lumidra.job -e lumidra.offset -e lumidra.counter \
        -e lumidra.channel1 -e lumidra.channel1.percent -e lumidra.channel2 -e lumidra.channel2.percent \
        -e lumidra.inputs -e lumidra.key_status -e lumidra.key -e lumidra.led -e lumidra.command \
        -e lumidra.job_request -e lumidra.malformed -e lumidra.report \
        -e usb.bus_id -e usb.device_address -e usb.endpoint_address 2>/dev/null >"$work/all"
    for direction in out in; do
        awk -F'|' -v d="$direction" '$1 == d' "$work/all" >"$2.$direction"
    done
}

fields "$capture" "$work/capture"
i=0
for trace in "$@"; do
    i=$((i + 1))
    fields "$trace" "$work/trace$i"
done
for direction in out in; do
    c=$work/capture.$direction
    unknown=$(cut -d'|' -f2 "$c" | grep -c '^unknown$')
    malformed=$(cut -d'|' -f16 "$c" | grep -c .)
    echo "capture, $direction: $(wc -l <"$c") reports decoded, $unknown unknown, $malformed malformed"
    [ -s "$c" ] && [ "$unknown" -eq 0 ] && [ "$malformed" -eq 0 ] || failed=1
    from=1
    i=0
    for trace in "$@"; do
        i=$((i + 1))
        t=$work/trace$i.$direction
        # The first report of the capture, from `from` on, where the whole trace follows.
        at=$(awk -v from="$from" 'NR == FNR { t[++n] = $0; next }
                                 { c[++m] = $0 }
                                 END { for (i = from; i + n - 1 <= m; i++) {
                                           for (k = 1; k <= n && c[i + k - 1] == t[k]; k++) ;
                                           if (k > n) { print i; exit } } }' "$t" "$c")
        if [ -n "$at" ] && [ -s "$t" ]; then
            echo "${trace##*/}, $direction: $(wc -l <"$t") reports, the capture's $at to $((at + $(wc -l <"$t") - 1))"
            from=$((at + $(wc -l <"$t")))
        else
            echo "${trace##*/}, $direction: $(wc -l <"$t") reports, NOT in the capture as they are"
            failed=1
        fi
    done
done
exit $failed
