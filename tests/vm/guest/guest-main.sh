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
# LUMIDRA_VM_ONLY=gadget runs only what runs on the USB gadget;
# LUMIDRA_VM_ONLY=cli only the console program's jobs, on uhid and on the USB
# gadget, and the plug cycles.
#
# LUMIDRA_VM_ARCH=arm64: the guest is an arm64 machine running arm64 builds
# of the virtual board and lumidra-cli under an arm64 busybox (the shared
# root's own programs are x86_64's). It runs what needs nothing else: the
# console program's jobs as root on both buses and the plug cycles. The udev
# rule, the ordinary user, the usbmon capture, the window and the Debian
# package stay x86_64's.
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
ARCH=${LUMIDRA_VM_ARCH:-x86_64}
[ "$ARCH" = x86_64 ] || ONLY=cli
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

echo "# guest: kernel $(uname -r) on $(uname -m), uptime $(up) s"
[ -c /dev/uhid ]
check $? "/dev/uhid exists (uhid loaded)"
[ -x "$BOARD" ]
check $? "the virtual board is built ($BOARD)"

# ---- phase 1: no udevd ------------------------------------------------------------
if [ -z "$ONLY" ]; then
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
# settle: waits for udevd to have handled what the kernel announced, where it runs.
settle() { [ "$ARCH" != x86_64 ] || udevadm settle -t 10; }
if [ "$ARCH" = x86_64 ]; then
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
fi
if [ -z "$ONLY" ]; then
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
# (as root on arm64, where no other user and no udevd exist)
CLI=$BUILD/app/lumidra-cli
# start_model_board [BUS]: the board model, reporting by itself as the board
# does, in a fresh $W that the ordinary user may write (its node in $node).
start_model_board() {
    W=$(mktemp -d /tmp/cli.XXXXXX)
    chmod 0777 "$W"
    as_ok=
    [ "$ARCH" = x86_64 ] && as_ok="setpriv --reuid=$USER_OK --regid=users --init-groups env HOME=$W TMPDIR=$W USER=$USER_OK"
    "$BOARD" --model --bus "${1:-uhid}" --ready "$W/ready" --log "$W/outputs" --control "$W/control" &
    BOARD_PID=$!
    wait_node
}
# wait_node: until the board's node exists (at most 10 s); its path in $node.
wait_node() {
    n=0
    while [ ! -s "$W/ready" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
    settle
    node=$(cat "$W/ready" 2>/dev/null)
}
# model_state FILE: the board model's state (tools/virtual-board's `save`).
model_state() {
    rm -f "$1"
    echo "save $1" >"$W/control"
    n=0
    while [ ! -s "$1" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
    sleep 0.2
}
# A check of a run, with what the run said on standard error when it failed.
cli_check() {
    check "$1" "$2"
    [ "$1" -eq 0 ] || sed 's/^/# stderr: /' "$W/err"
}
# closing_report: the last report the board received tells it the host leaves
# (command 2 in byte 4).
closing_report() {
    [ "$(tail -n 1 "$W/outputs" | cut -d' ' -f4)" = 02 ]
}
# cli_jobs [ON]: the board's jobs through lumidra-cli, each check named with
# ON (" on the gadget"); DUMP_TRACE and STATUS_TRACE name the dump's and the
# status stream's traces.
cli_jobs() {
    on=${1:-}
    $as_ok "$CLI" --lang en list >"$W/list" 2>"$W/err"
    rc=$?
    [ $rc -eq 0 ] && grep -q "^$node " "$W/list" && ! grep -q "NOT USABLE" "$W/list"
    cli_check $? "lumidra-cli list$on: exit $rc, the board's node $node, usable"
    sed 's/^/# list: /' "$W/list"

    $as_ok "$CLI" --quiet led 1A2B 2>"$W/err"
    rc=$?
    model_state "$W/state"
    [ $rc -eq 0 ] && grep -qx 'led 1A2B' "$W/state" && grep -qx 'host left' "$W/state" && closing_report
    cli_check $? "lumidra-cli led 1A2B$on: exit $rc, the board shows 1A2B, the closing report last"

    $as_ok "$CLI" ${DUMP_TRACE:+--trace "$DUMP_TRACE"} --quiet dump "$W/dump.bin" 2>"$W/err"
    rc=$?
    model_state "$W/state"
    # The board's memory as the model holds it, against the file, byte for byte.
    sed -n 's/^memory [0-9A-F]* //p' "$W/state" | tr -d ' \n' | tr a-f A-F >"$W/memory.hex"
    od -An -v -tx1 "$W/dump.bin" | tr -d ' \n' | tr a-f A-F >"$W/dump.hex"
    [ $rc -eq 0 ] && [ "$(wc -c <"$W/dump.bin")" -eq 4096 ] && [ "$(wc -c <"$W/memory.hex")" -eq 8192 ] &&
        cmp -s "$W/memory.hex" "$W/dump.hex" && closing_report
    cli_check $? "lumidra-cli dump$on: exit $rc, 4096 bytes, the board's memory byte for byte, the closing report last"

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
    [ $rc -eq 0 ] && [ "$(grep -c '^{"ch1":[0-9]*,"ch1_pct":' "$W/status")" -eq 50 ] && closing_report
    cli_check $? "lumidra-cli status --json --count 50$on: exit $rc, 50 records, the closing report last"

    # The plot: 32 points a report.
    $as_ok "$CLI" --quiet plot --out "$W/plot.csv" --csv --reports 20 2>"$W/err"
    rc=$?
    [ $rc -eq 0 ] && [ "$(wc -l <"$W/plot.csv")" -eq 641 ]
    cli_check $? "lumidra-cli plot --reports 20$on: exit $rc, 640 points"
}
# descriptors PID: how many descriptors the process has open.
descriptors() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }
# plug_cycles N: the model board (in $W) unplugged and plugged N times, each
# time while lumidra-cli streams its status: the run ends when its board goes,
# and neither the board's process, a run, nor the kernel keeps a descriptor
# more than the cycle before (the board's and the run's open descriptors, the
# kernel's allocated file handles, after each cycle).
plug_cycles() {
    cycles=$1
    first=
    ended=0
    i=1
    while [ $i -le "$cycles" ]; do
        t0=$(up)
        # Attached once the board has the attach's two state reports.
        attached=$(($(wc -l <"$W/outputs") + 2))
        $as_ok "$CLI" status --watch >"$W/watch" 2>"$W/err" &
        CLI_PID=$!
        n=0
        until [ "$(wc -l <"$W/outputs")" -ge $attached ] || [ $n -ge 100 ]; do sleep 0.1; n=$((n + 1)); done
        sleep 0.3
        run_fds=$(descriptors "$CLI_PID")
        t1=$(up)
        echo unplug >"$W/control"
        n=0
        while kill -0 "$CLI_PID" 2>/dev/null && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
        kill "$CLI_PID" 2>/dev/null
        wait "$CLI_PID"
        rc=$?
        t2=$(up)
        [ -s "$W/watch" ] && [ $rc -eq 1 ] && ended=$((ended + 1))
        rm -f "$W/watch"
        echo plug >"$W/control"
        wait_node
        counts="board $(descriptors "$BOARD_PID") run $run_fds kernel $(cut -f1 /proc/sys/fs/file-nr)"
        echo "# cycle $i at $t0 s: attached after $(echo "$t0 $t1" | awk '{ printf "%.1f", $2 - $1 }') s," \
            "ended $(echo "$t1 $t2" | awk '{ printf "%.1f", $2 - $1 }') s after the unplug (rc $rc), descriptors: $counts"
        [ -n "$first" ] || first=$counts
        i=$((i + 1))
    done
    echo "cycles $cycles: descriptors after the first: $first; after the last: $counts" >"$OUT/cycles"
    [ "$ended" -eq "$cycles" ]
    check $? "plug cycles: in each of $cycles the status stream ran and ended (exit 1) when its board went ($ended did)"
    # The kernel's count moves with whatever else the guest runs (the shell's
    # pipes); a leak of a cycle's descriptors would add up to $cycles and more.
    set -- $first
    b1=$2 r1=$4 k1=$6
    set -- $counts
    [ "$2" -eq "$b1" ] && [ "$4" -eq "$r1" ] && [ "$6" -le $((k1 + cycles / 2)) ] && [ -n "$node" ]
    check $? "plug cycles: no descriptor kept (after the first: $first; after the last: $counts), the board plugged again as $node"
}

if [ "$ONLY" = gadget ]; then
    echo "# lumidra-cli on uhid: skipped (only the gadget's cases)"
elif [ ! -x "$CLI" ]; then
    record "not ok" "lumidra-cli is built ($CLI)"
else
    echo "# lumidra-cli at $(up) s"
    start_model_board
    cli_jobs
    # The whole x86_64 run has the plug storm's thousand cycles; the console
    # program's own unplugs are counted where the jobs run alone (arm64).
    if [ "$ONLY" = cli ]; then
        echo "# plug cycles at $(up) s"
        plug_cycles 20
    fi

    if [ "$ARCH" = x86_64 ]; then
        setpriv --reuid="$USER_OTHER" --regid=users --init-groups env HOME=$W TMPDIR=$W USER=$USER_OTHER \
            "$CLI" --lang en list >"$W/list" 2>"$W/list.err"
        grep -q "^$node .*NOT USABLE" "$W/list" && grep -q 'udev rule' "$W/list.err"
        check $? "lumidra-cli list, as a user who may not open the board: its node, not usable, and the fix"
        sed 's/^/# list: /' "$W/list" "$W/list.err"
    fi

    # The window holds the lock: lumidra-cli is refused and writes nothing.
    if [ "$ONLY" != cli ]; then
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
    fi
    kill -TERM "$BOARD_PID" 2>/dev/null
    wait "$BOARD_PID"
    check $? "the model board ends cleanly on SIGTERM after the jobs and the plug cycles"
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
    if [ "$ONLY" != cli ]; then
        # Test scaffolding, as /dev/uhid's mode is: the ordinary user's tests
        # start gadget boards, and configfs and /dev/hidgN are root's.
        GTEST_BOARD=/usr/local/bin/lumidra-virtual-board-as-root
        cp "$BOARD" "$GTEST_BOARD" && chmod 4755 "$GTEST_BOARD"
        GTEST_BUS=gadget
        run_gtest vm_program_scenario_test "$USER_OK" --gtest_filter='ProgramOnKernel.*'
        GTEST_BUS=
        GTEST_BOARD=
    fi

    if [ -x "$CLI" ]; then
        echo "# lumidra-cli on the USB gadget at $(up) s"
        C=$(mktemp -d /tmp/capture.XXXXXX)
        chmod 0777 "$C"
        CAPTURE_PID=
        if [ "$ARCH" = x86_64 ]; then
            # usbmon on the software bus's host side, before the board is there.
            busnum=$(cat /sys/bus/platform/devices/dummy_hcd.0/usb*/busnum 2>/dev/null)
            dumpcap -q -i "usbmon$busnum" -w "$C/bus.pcapng" 2>"$C/dumpcap.err" &
            CAPTURE_PID=$!
            n=0
            while [ ! -s "$C/bus.pcapng" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
            [ -s "$C/bus.pcapng" ]
            check $? "usbmon captures bus $busnum (the software bus) before the board is plugged"
            DUMP_TRACE=$C/dump.pcapng
            STATUS_TRACE=$C/status.pcapng
        fi

        start_model_board gadget
        if [ "$ARCH" = x86_64 ]; then
            perm=$(stat -c '%a %U %G' "$node" 2>/dev/null)
            [ "$perm" = "660 root plugdev" ]
            check $? "the rule gives the USB board's node $node mode 660, group plugdev (got '$perm')"
        fi
        cli_jobs " on the gadget"
        DUMP_TRACE=
        STATUS_TRACE=
        kill -TERM "$BOARD_PID" 2>/dev/null
        wait "$BOARD_PID"
        check $? "the USB board ends cleanly on SIGTERM"
        if [ -n "$CAPTURE_PID" ]; then
            kill -INT "$CAPTURE_PID" 2>/dev/null
            wait "$CAPTURE_PID"
            sed 's/^/# dumpcap: /' "$C/dumpcap.err"
            # The capture and the program's traces of the dump and the status
            # stream, for tests/vm/run.sh to read with the dissector.
            cp "$C/bus.pcapng" "$OUT/usb-capture.pcapng"
            cp "$C/dump.pcapng" "$OUT/usb-dump-trace.pcapng"
            cp "$C/status.pcapng" "$OUT/usb-status-trace.pcapng"
        fi
        rm -rf "$W" "$C"
    fi
fi

# ---- phase 3: the Debian package, installed and started ---------------------------
if [ -z "$ONLY" ]; then
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

[ "$ARCH" = x86_64 ] && udevadm control --exit 2>/dev/null
echo "# guest: end at $(up) s"
echo done >>"$RESULTS"
