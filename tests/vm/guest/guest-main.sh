#!/bin/sh
# guest-main.sh ROOT BUILD -- runs inside the VM (tests/vm/vm-boot.sh), as
# root, on the host's files shared read-only with a throw-away overlay.
#
# Phase 1, no udevd (device nodes root-only, monitors on the kernel source):
#   the kernel facts, the Linux platform's tests, the read-rate measurement.
# Phase 2, systemd-udevd running with the project's udev rule installed:
#   the rule's effect on the board's node, then the Linux platform's tests as
#   an ordinary user in group plugdev (monitors on the udev source), then the
#   whole-program scenario as that user once it is built.
# Phase 2 on a USB bus: the board as a USB gadget on the kernel's software
#   bus (dummy_hcd), enumerated by usbhid: the whole-program cases and the
#   console program's jobs again, with the bus captured by usbmon.
# Phase 3, the Debian package (tests/vm/run.sh makes it): installed with
#   dpkg into the guest's throw-away overlay, its udev rule in force alone, the
#   installed program started as that user against a uhid board.
#
# LUMIDRA_VM_ONLY=gadget runs only what runs on the USB gadget.
#
# Each result goes to /vmtest-out/results as "ok NAME" or "not ok NAME"; the
# last line is "done" when the run got to its end.
ROOT=${1:?usage: guest-main.sh ROOT BUILD}
BUILD=${2:?usage: guest-main.sh ROOT BUILD}
OUT=/vmtest-out
RESULTS=$OUT/results
VM_BIN=$BUILD/tests/vm
BOARD=$BUILD/tools/virtual-board/lumidra-virtual-board
USER_OK=lumidra-vm      # in plugdev: the rule lets it open the board
USER_OTHER=lumidra-nobody  # not in plugdev: the rule must not let it in
ONLY=${LUMIDRA_VM_ONLY:-}
: >"$RESULTS"
export QT_QPA_PLATFORM=offscreen
up() { cut -d' ' -f1 /proc/uptime; }

record() { # record ok|"not ok" TEXT
    echo "$1 $2" >>"$RESULTS"
    echo "$1 - $2"
}
check() { # check RC TEXT
    if [ "$1" -eq 0 ]; then record ok "$2"; else record "not ok" "$2"; fi
}

# run_gtest NAME [USER] [gtest arguments...]: runs a test program of
# tests/vm, every test case a result of its own; a crash or timeout that
# leaves no failed case behind is a failure of the program. It may take
# GTEST_LIMIT seconds (default 240); its log is $OUT/GTEST_LOG.log (default
# named after the program, the user and the bus). GTEST_BUS=gadget puts the
# board under test on the USB gadget (GTEST_BOARD: the board tool to use).
run_gtest() {
    name=$1
    user=$2
    shift 2
    bin=$VM_BIN/$name
    if [ ! -x "$bin" ]; then
        echo "# $name is not built: skipped"
        return
    fi
    tag=$name
    as=
    if [ -n "$user" ]; then
        tag="$name (as $user)"
        as="setpriv --reuid=$user --regid=users --init-groups env HOME=/tmp TMPDIR=/tmp USER=$user"
    fi
    bus=${GTEST_BUS:-}
    [ -n "$bus" ] && tag="$tag on the $bus"
    log=$OUT/${GTEST_LOG:-$name${user:+.$user}${bus:+.$bus}}.log
    echo "# $tag: start at $(up) s"
    { timeout "${GTEST_LIMIT:-240}" $as env LUMIDRA_VM_BUS="$bus" ${GTEST_BOARD:+LUMIDRA_VIRTUAL_BOARD=$GTEST_BOARD} \
          "$bin" --gtest_color=no "$@" 2>&1; echo $? >"$log.rc"; } | tee "$log"
    rc=$(cat "$log.rc")
    sed -n 's/^\[       OK \] \([^ ]*\) (.*/\1/p' "$log" | while read -r t; do echo "ok $tag: $t" >>"$RESULTS"; done
    sed -n 's/^\[  FAILED  \] \([^ ]*\) ([0-9]* ms)$/\1/p' "$log" | while read -r t; do echo "not ok $tag: $t" >>"$RESULTS"; done
    if [ "$rc" -ne 0 ] && ! grep -q '^\[  FAILED  \] [^ ]* ([0-9]* ms)$' "$log"; then
        record "not ok" "$tag ended with exit code $rc (crash or timeout)"
    fi
    echo "# $tag: end at $(up) s, exit code $rc"
}

echo "# guest: kernel $(uname -r), uptime $(up) s"
[ -c /dev/uhid ]
check $? "/dev/uhid exists (uhid loaded)"
[ -x "$BOARD" ]
check $? "the virtual board is built ($BOARD)"

# ---- phase 1: no udevd ------------------------------------------------------------
if [ "$ONLY" != gadget ]; then
    run_gtest vm_kernel_facts_test ""
    run_gtest vm_linux_hid_test ""
    if [ -x "$VM_BIN/vm_read_rate" ]; then
        echo "# read rates: start at $(up) s"
        { timeout 240 "$VM_BIN/vm_read_rate" --benchmark_min_time=1 2>&1; echo $? >"$OUT/rates.rc"; } | tee "$OUT/rates.log"
        check "$(cat "$OUT/rates.rc")" "read-rate measurement ran to its end"
        grep -E '^(BM_|read-rate)' "$OUT/rates.log" >"$OUT/rates"
    fi
fi

# ---- phase 2: udevd with the project's rule ---------------------------------------
echo "# phase 2 (udevd) at $(up) s"
mkdir -p /etc/udev/rules.d
cp "$ROOT/packaging/udev/70-lumidra.rules" /etc/udev/rules.d/
getent group plugdev >/dev/null || groupadd -r plugdev
useradd -M -N -g users -G plugdev "$USER_OK" 2>/dev/null
useradd -M -N -g users "$USER_OTHER" 2>/dev/null
# Test scaffolding, not what is under test: the ordinary user's tests make
# their own virtual boards. The hidraw nodes' access comes from the rule alone.
chmod 0666 /dev/uhid

/lib/systemd/systemd-udevd --daemon 2>"$OUT/udevd.err"
udevadm control --ping -t 5
check $? "systemd-udevd runs in the guest"
if [ "$ONLY" != gadget ]; then
    W=$(mktemp -d /tmp/udev.XXXXXX)
    "$BOARD" --ready "$W/ready" --log "$W/outputs" &
    BOARD_PID=$!
    n=0
    while [ ! -s "$W/ready" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
    node=$(cat "$W/ready" 2>/dev/null)
    [ -n "$node" ]
    check $? "the board's node appears with udevd running (${node:-none})"
    udevadm settle -t 10
    if [ -n "$node" ]; then
        perm=$(stat -c '%a %U %G' "$node")
        [ "$perm" = "660 root plugdev" ]
        check $? "the rule gives $node mode 660, group plugdev (got '$perm')"
        udevadm info -q property -n "$node" >"$W/props" 2>&1
        grep -q '^TAGS=.*:uaccess:' "$W/props"
        check $? "the rule tags $node for uaccess (the logged-in user's ACL)"
        udevadm test --action=add "/sys/class/hidraw/${node##*/}" >"$W/udevtest" 2>&1
        ! grep -i '70-lumidra.rules' "$W/udevtest" | grep -qiE 'invalid|error|unknown|fail'
        check $? "udevadm finds nothing wrong in 70-lumidra.rules"
        setpriv --reuid="$USER_OK" --regid=users --init-groups sh -c "exec 3<>'$node'" 2>"$W/open.err"
        check $? "$USER_OK (in plugdev) opens $node read-write"
        ! setpriv --reuid="$USER_OTHER" --regid=users --init-groups sh -c "exec 3<>'$node'" 2>/dev/null
        check $? "$USER_OTHER (not in plugdev) cannot open $node"
        sed 's/^/# props: /' "$W/props"
    fi
    kill -TERM "$BOARD_PID" 2>/dev/null
    wait "$BOARD_PID"
    check $? "the board ends cleanly on SIGTERM"
    rm -rf "$W"

    run_gtest vm_linux_hid_test "$USER_OK"
    # The whole program against the virtual board, as an ordinary user; the plug
    # storm on its own, with the time a thousand plugs take under emulation
    # (LUMIDRA_STORM_CYCLES and LUMIDRA_STORM_SEED, passed on by run.sh, change
    # the count and repeat a run). Its figures go to $OUT/storm.
    run_gtest vm_program_scenario_test "$USER_OK" --gtest_filter=-ProgramInAPlugStorm.*
    GTEST_LIMIT=${LUMIDRA_STORM_LIMIT:-720}
    GTEST_LOG=storm
    run_gtest vm_program_scenario_test "$USER_OK" --gtest_filter=ProgramInAPlugStorm.*
    GTEST_LIMIT=
    GTEST_LOG=
    grep '^storm: ' "$OUT/storm.log" >"$OUT/storm" 2>/dev/null
fi

# ---- phase 2, lumidra-cli: the console program as an ordinary user -----------------
CLI=$BUILD/app/lumidra-cli
# start_model_board [BUS]: the board model, reporting by itself as the board
# does, in a fresh $W that the ordinary user may write (its node in $node).
start_model_board() {
    W=$(mktemp -d /tmp/cli.XXXXXX)
    chmod 0777 "$W"
    as_ok="setpriv --reuid=$USER_OK --regid=users --init-groups env HOME=$W TMPDIR=$W USER=$USER_OK"
    "$BOARD" --model --bus "${1:-uhid}" --ready "$W/ready" --log "$W/outputs" --control "$W/control" &
    BOARD_PID=$!
    n=0
    while [ ! -s "$W/ready" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
    udevadm settle -t 10
    node=$(cat "$W/ready" 2>/dev/null)
}
# A check of a run, with what the run said on standard error when it failed.
cli_check() {
    check "$1" "$2"
    [ "$1" -eq 0 ] || sed 's/^/# stderr: /' "$W/err"
}
# cli_jobs [ON]: the board's jobs through lumidra-cli, each check named with
# ON (" on the gadget"); DUMP_TRACE and STATUS_TRACE name the dump's and the
# status stream's traces.
cli_jobs() {
    on=${1:-}
    $as_ok "$CLI" ${DUMP_TRACE:+--trace "$DUMP_TRACE"} --quiet dump "$W/dump.bin" 2>"$W/err"
    rc=$?
    [ $rc -eq 0 ] && [ "$(wc -c <"$W/dump.bin")" -eq 4096 ]
    cli_check $? "lumidra-cli dump$on: exit $rc, 4096 bytes written"

    head -c 64 /dev/urandom >"$W/block.bin" && chmod 0644 "$W/block.bin"
    $as_ok "$CLI" --quiet flash write "$W/block.bin" --verify 2>"$W/err"
    cli_check $? "lumidra-cli flash write --verify$on: the board's Flash-ROM holds the block"

    # A 96 x 68 one-bit picture: the header, two colours, 816 bytes of pixels.
    printf 'BM\156\003\000\000\000\000\000\000\076\000\000\000\050\000\000\000\140\000\000\000\104\000\000\000\001\000\001\000' >"$W/p.bmp"
    head -c 24 /dev/zero >>"$W/p.bmp"
    printf '\000\000\000\000\377\377\377\000' >>"$W/p.bmp"
    head -c 816 /dev/zero >>"$W/p.bmp"
    $as_ok "$CLI" --quiet image "$W/p.bmp" 2>"$W/err"
    cli_check $? "lumidra-cli image$on: the picture job ends"

    # Channel 1 climbs meanwhile: no stretch of the stream looks like another.
    (i=0; while [ $i -lt 1024 ]; do echo "channel 1 $i"; i=$((i + 1)); sleep 0.02; done) >"$W/control" &
    RAMP_PID=$!
    $as_ok "$CLI" ${STATUS_TRACE:+--trace "$STATUS_TRACE"} status --json --count 50 >"$W/status" 2>"$W/err"
    rc=$?
    kill "$RAMP_PID" 2>/dev/null
    wait "$RAMP_PID" 2>/dev/null
    [ $rc -eq 0 ] && [ "$(grep -c '^{"ch1":[0-9]*,"ch1_pct":' "$W/status")" -eq 50 ]
    cli_check $? "lumidra-cli status --json --count 50$on: exit $rc, 50 records"

    # The plot: 32 points a report.
    $as_ok "$CLI" --quiet plot --out "$W/plot.csv" --csv --reports 20 2>"$W/err"
    rc=$?
    [ $rc -eq 0 ] && [ "$(wc -l <"$W/plot.csv")" -eq 641 ]
    cli_check $? "lumidra-cli plot --reports 20$on: exit $rc, 640 points"
}

if [ "$ONLY" = gadget ]; then
    echo "# lumidra-cli on uhid: skipped (only the gadget's cases)"
elif [ ! -x "$CLI" ]; then
    echo "# lumidra-cli is not built: its cases skipped"
else
    echo "# lumidra-cli at $(up) s"
    start_model_board
    cli_jobs

    setpriv --reuid="$USER_OTHER" --regid=users --init-groups env HOME=$W TMPDIR=$W USER=$USER_OTHER \
        "$CLI" --lang en list >"$W/list" 2>"$W/list.err"
    grep -q "^$node .*NOT USABLE" "$W/list" && grep -q 'udev rule' "$W/list.err"
    check $? "lumidra-cli list, as a user who may not open the board: its node, not usable, and the fix"
    sed 's/^/# list: /' "$W/list" "$W/list.err"

    # The window holds the lock: lumidra-cli is refused and writes nothing.
    attached=$(($(wc -l <"$W/outputs") + 2))
    $as_ok "$BUILD/app/lumidra" >"$W/window.log" 2>&1 &
    WINDOW_PID=$!
    n=0
    until [ "$(wc -l <"$W/outputs")" -ge $attached ] || [ $n -ge 100 ]; do sleep 0.1; n=$((n + 1)); done
    sleep 0.5
    before=$(wc -l <"$W/outputs")
    $as_ok "$CLI" dump "$W/locked.bin" >"$W/out" 2>"$W/err"
    rc=$?
    sleep 0.5
    [ $rc -eq 4 ] && [ "$(wc -l <"$W/outputs")" -eq "$before" ] && [ ! -e "$W/locked.bin" ] &&
        grep -q 'уже запущена' "$W/err"
    cli_check $? "lumidra-cli while the window holds the lock: exit $rc (4), the window's text, nothing written"
    kill -TERM "$WINDOW_PID" 2>/dev/null
    wait "$WINDOW_PID" 2>/dev/null
    kill -TERM "$BOARD_PID" 2>/dev/null
    wait "$BOARD_PID"
    rm -rf "$W"
fi

# ---- phase 2 on a USB bus: the board as a USB gadget -------------------------------
# The board on the kernel's software USB bus (dummy_hcd): a configfs HID
# gadget that usbhid enumerates as it does the real board. The whole-program
# cases that need one board of a kind, then the console program's jobs with
# the bus captured by usbmon from before the board is plugged.
if [ ! -d /sys/kernel/config/usb_gadget ] || [ -z "$(ls /sys/class/udc 2>/dev/null)" ]; then
    record "not ok" "the guest makes USB gadgets (configfs, a device controller)"
else
    echo "# phase 2 on the USB gadget at $(up) s"
    # Test scaffolding, as /dev/uhid's mode is: the ordinary user's tests
    # start gadget boards, and configfs and /dev/hidgN are root's.
    GTEST_BOARD=/usr/local/bin/lumidra-virtual-board-as-root
    cp "$BOARD" "$GTEST_BOARD" && chmod 4755 "$GTEST_BOARD"
    GTEST_BUS=gadget
    run_gtest vm_program_scenario_test "$USER_OK" --gtest_filter='ProgramOnKernel.*'
    GTEST_BUS=
    GTEST_BOARD=

    if [ -x "$CLI" ]; then
        echo "# lumidra-cli on the USB gadget at $(up) s"
        # usbmon on the software bus's host side, before the board is there.
        busnum=$(cat /sys/bus/platform/devices/dummy_hcd.0/usb*/busnum 2>/dev/null)
        C=$(mktemp -d /tmp/capture.XXXXXX)
        chmod 0777 "$C"
        dumpcap -q -i "usbmon$busnum" -w "$C/bus.pcapng" 2>"$C/dumpcap.err" &
        CAPTURE_PID=$!
        n=0
        while [ ! -s "$C/bus.pcapng" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
        [ -s "$C/bus.pcapng" ]
        check $? "usbmon captures bus $busnum (the software bus) before the board is plugged"

        start_model_board gadget
        perm=$(stat -c '%a %U %G' "$node" 2>/dev/null)
        [ "$perm" = "660 root plugdev" ]
        check $? "the rule gives the USB board's node $node mode 660, group plugdev (got '$perm')"
        DUMP_TRACE=$C/dump.pcapng
        STATUS_TRACE=$C/status.pcapng
        cli_jobs " on the gadget"
        DUMP_TRACE=
        STATUS_TRACE=
        kill -TERM "$BOARD_PID" 2>/dev/null
        wait "$BOARD_PID"
        check $? "the USB board ends cleanly on SIGTERM"
        kill -INT "$CAPTURE_PID" 2>/dev/null
        wait "$CAPTURE_PID"
        sed 's/^/# dumpcap: /' "$C/dumpcap.err"
        # The capture and the program's traces of the dump and the status
        # stream, for tests/vm/run.sh to read with the dissector.
        cp "$C/bus.pcapng" "$OUT/usb-capture.pcapng"
        cp "$C/dump.pcapng" "$OUT/usb-dump-trace.pcapng"
        cp "$C/status.pcapng" "$OUT/usb-status-trace.pcapng"
        rm -rf "$W" "$C"
    fi
fi

# ---- phase 3: the Debian package, installed and started ---------------------------
if [ "$ONLY" != gadget ]; then
    DEB=$(ls "$BUILD"/packages/lumidra_*.deb 2>/dev/null | head -n 1)
    if [ -z "$DEB" ]; then
        echo "# no package in $BUILD/packages: phase 3 skipped"
    else
        echo "# phase 3 (${DEB##*/}) at $(up) s"
        W=$(mktemp -d /tmp/package.XXXXXX)
        chmod 0755 "$W"
        dpkg -i "$DEB" >"$OUT/dpkg.log" 2>&1
        check $? "dpkg installs ${DEB##*/}: its dependencies are there"
        installed=ok
        for f in /usr/bin/lumidra /usr/lib/udev/rules.d/70-lumidra.rules \
                 /usr/share/applications/org.lumidra.lumidra.desktop \
                 /usr/share/icons/hicolor/scalable/apps/org.lumidra.lumidra.svg \
                 /usr/share/metainfo/org.lumidra.lumidra.metainfo.xml; do
            [ -f "$f" ] || { echo "# not installed: $f"; installed=; }
        done
        [ -n "$installed" ]
        check $? "the package installs the program, the udev rule, the desktop entry, the icon and the metainfo"
        ! readelf -d /usr/bin/lumidra 2>/dev/null | grep -qE 'R(UN)?PATH'
        check $? "the installed program carries no library path into the build tree"
        [ "$(/usr/bin/lumidra --version)" = "lumidra $(dpkg-deb -f "$DEB" Version)" ]
        check $? "the installed program's --version is the package's"

        # The packaged rule alone decides who opens the board now.
        rm -f /etc/udev/rules.d/70-lumidra.rules
        udevadm control --reload
        "$BOARD" --ready "$W/ready" --log "$W/outputs" &
        BOARD_PID=$!
        n=0
        while [ ! -s "$W/ready" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
        udevadm settle -t 10
        node=$(cat "$W/ready" 2>/dev/null)
        perm=$(stat -c '%a %U %G' "$node" 2>/dev/null)
        [ "$perm" = "660 root plugdev" ]
        check $? "the packaged rule gives the board's node mode 660, group plugdev (got '$perm')"

        # The installed program, as the ordinary user, with every panel shown:
        # it attaches, and the board receives the state report with the light on.
        # A home and temp folder of its own: the single-instance lock lives there,
        # away from whatever the shared /tmp holds.
        mkdir "$W/home" && chown "$USER_OK" "$W/home"
        setpriv --reuid="$USER_OK" --regid=users --init-groups env HOME="$W/home" TMPDIR="$W/home" USER="$USER_OK" \
            /usr/bin/lumidra --all-panels >"$OUT/lumidra.log" 2>&1 &
        PROGRAM_PID=$!
        light_on="00 00 00 01$(printf ' 00%.0s' $(seq 60))"
        n=0
        until grep -qx "$light_on" "$W/outputs" 2>/dev/null || [ $n -ge 300 ]; do sleep 0.1; n=$((n + 1)); done
        grep -qx "$light_on" "$W/outputs"
        check $? "the installed program attaches to the board (state report, light on, after $((n / 10)) s)"
        kill -0 "$PROGRAM_PID" 2>/dev/null
        check $? "the installed program keeps running with the board attached"
        kill -TERM "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
        kill -TERM "$BOARD_PID" 2>/dev/null
        wait "$BOARD_PID"
        sed 's/^/# lumidra: /' "$OUT/lumidra.log" | grep -v propagateSizeHints | head -n 20
        rm -rf "$W"
    fi
fi

udevadm control --exit 2>/dev/null
echo "# guest: end at $(up) s"
echo done >>"$RESULTS"
