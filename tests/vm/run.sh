#!/usr/bin/env bash
# tests/vm/run.sh -- the tests that need a real Linux HID stack: builds what
# they need, boots a Debian kernel under qemu once (tests/vm/vm-boot.sh), runs
# the guest-side test programs against uhid virtual boards there, and ends
# with "vmtest: N passed, N failed" (test cases and shell checks counted
# together). Exit code non-zero when anything failed or the guest gave no
# result.
#
# usage: tests/vm/run.sh [--arch x86_64|arm64] [--build-dir DIR] [--libs DIR]
#                        [--no-build] [--timeout SECS] [--smp N] [--only gadget|cli]
#
#   --arch       the guest's CPU (default x86_64). arm64: Debian 13's arm64
#                kernel on an emulated Cortex-A72 runs the arm64 builds of
#                lumidra-cli and the virtual board (the cross build of
#                tools/distro/run.sh --arch arm64, build-trixie-arm64/ unless
#                --build-dir names another; this script does not make it): the
#                console program's jobs on uhid and on the USB gadget and the
#                plug cycles, as root (--only cli); the rest stays x86_64's
#
#   --build-dir  build folder to use (default: the default preset's build/,
#                configured with the preset when it is not configured yet)
#   --libs       arm64: the arm64 libraries the programs link (default: the
#                Debian 13 root's, $LUMIDRA_DISTRO_CACHE/trixie-arm64)
#   --no-build   use the build folder as it is
#   --timeout    limit for the guest's whole run (default 1200 s)
#   --smp        emulated CPUs (default 1); each takes a host core of its own
#                while the guest is busy
#   --only gadget  only the cases on the USB gadget board (the whole-program
#                cases, the console program's jobs and the usbmon capture):
#                under a minute; LUMIDRA_VM_ONLY=gadget does the same
#   --only cli   only the console program's jobs, on uhid and on the USB
#                gadget, and the plug cycles
#
# On a fresh Debian 12 machine it installs what it needs first (build tools
# through tools/install-deps.sh; qemu, busybox-static and udev through
# vm-boot.sh), quietly, and only once. The kernel package is cached under
# ${TMPDIR:-/tmp}/lumidra-vm. Guest output, including the measured read
# rates, is printed as it comes; a copy of the guest's result files is left in
# ${TMPDIR:-/tmp}/lumidra-vm/out.
set -uo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../../tools/script-help.sh"

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
ARCH=x86_64
LIBS=
BUILD=
DO_BUILD=1
TIMEOUT=1200
SMP=1
ONLY=${LUMIDRA_VM_ONLY:-}
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) ARCH=$2; shift 2 ;;
    --libs) LIBS=$2; shift 2 ;;
    --build-dir) BUILD=$2; shift 2 ;;
    --no-build) DO_BUILD=0; shift ;;
    --timeout) TIMEOUT=$2; shift 2 ;;
    --smp) SMP=$2; shift 2 ;;
    --only) ONLY=$2; shift 2 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
T0=$EPOCHREALTIME
WORK=${TMPDIR:-/tmp}/lumidra-vm
case "$ARCH" in
x86_64) ;;
arm64)
    WORK=$WORK-arm64
    DO_BUILD=0
    ONLY=cli
    BUILD=${BUILD:-$ROOT/build-trixie-arm64}
    LIBS=${LIBS:-${LUMIDRA_DISTRO_CACHE:-/var/cache/lumidra/distro}/trixie-arm64/usr/lib/aarch64-linux-gnu}
    for p in app/lumidra-cli tools/virtual-board/lumidra-virtual-board; do
        if ! readelf -h "$BUILD/$p" 2>/dev/null | grep -q 'Machine: *AArch64'; then
            echo "run.sh: no arm64 $BUILD/$p: cross-build it first (tools/distro/run.sh --arch arm64), or name the build with --build-dir" >&2
            exit 2
        fi
    done
    [ -e "$LIBS/ld-linux-aarch64.so.1" ] ||
        { echo "run.sh: no arm64 libraries in $LIBS (the Debian 13 root with arm64 packages: tools/distro/run.sh); name them with --libs" >&2; exit 2; } ;;
*) echo "run.sh: --arch takes x86_64 or arm64" >&2; exit 2 ;;
esac
OUT=$WORK/out

# Programs the guest runs, by CMake target. The first is required; the
# others are built when their parts exist (the Linux platform, Google
# Benchmark, the program) and skipped with a note otherwise. The program
# itself goes to the guest as the Debian package made of it.
TARGETS=(lumidra-virtual-board vm_kernel_facts_test vm_linux_hid_test vm_read_rate vm_program_scenario_test lumidra lumidra-cli)

if [ "$DO_BUILD" = 1 ]; then
    "$ROOT/tools/install-deps.sh" || exit 1
    if [ -z "$BUILD" ]; then
        BUILD=$ROOT/build
        [ -f "$BUILD/CMakeCache.txt" ] || (cd "$ROOT" && cmake --preset default >/dev/null) || exit 1
    elif [ ! -f "$BUILD/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null || exit 1
    fi
    known=()
    for t in "${TARGETS[@]}"; do
        if ninja -C "$BUILD" -t query "$t" >/dev/null 2>&1; then known+=("$t"); fi
    done
    echo "== building ${known[*]}"
    cmake --build "$BUILD" --parallel 2 --target "${known[@]}" || { echo "vmtest: 0 passed, 1 failed"; exit 1; }
    # The Debian package the guest installs, made afresh from this build.
    if [[ " ${known[*]} " == *" lumidra "* ]]; then
        echo "== packaging lumidra (cpack -G DEB)"
        mkdir -p "$WORK"
        rm -f "$BUILD"/packages/lumidra_*.deb
        (cd "$BUILD" && cpack -G DEB) >"$WORK/cpack.log" 2>&1 ||
            { cat "$WORK/cpack.log"; echo "vmtest: 0 passed, 1 failed"; exit 1; }
    fi
fi
BUILD=${BUILD:-$ROOT/build}
BUILD=$(cd "$BUILD" && pwd)

# The guest finds everything through the shared root, by the host's paths.
# The plug storm's settings go with it (see tests/vm/README.md).
case "$ONLY" in
'' | gadget | cli) ;;
*) echo "run.sh: --only takes gadget or cli" >&2; exit 2 ;;
esac
GUEST_ENV=${ONLY:+LUMIDRA_VM_ONLY=$ONLY }
[ "$ARCH" = x86_64 ] || GUEST_ENV+="LUMIDRA_VM_ARCH=$ARCH "
for v in LUMIDRA_STORM_CYCLES LUMIDRA_STORM_SEED LUMIDRA_STORM_LIMIT LUMIDRA_STORM_VERBOSE; do
    [ -n "${!v:-}" ] && GUEST_ENV+="$v='${!v}' "
done
GUEST_CMD="${GUEST_ENV}sh '$HERE/guest/guest-main.sh' '$ROOT' '$BUILD'"
echo "== booting the VM"
"$HERE/vm-boot.sh" --arch "$ARCH" ${LIBS:+--libs "$LIBS"} --work "$WORK" --out "$OUT" --timeout "$TIMEOUT" \
    --smp "$SMP" --cmd "$GUEST_CMD"
rc=$?

# The usbmon capture of the USB gadget board, read here with the dissector
# beside the program's traces of the same run (tshark is slow under emulation).
if [ -s "$OUT/usb-capture.pcapng" ] && [ -f "$OUT/results" ]; then
    if ! command -v tshark >/dev/null; then
        echo "== no tshark: the usbmon capture is not read (tools/install-deps.sh installs it)"
    else
        "$HERE/capture-compare.sh" "$ROOT/packaging/wireshark/lumidra.lua" "$OUT/usb-capture.pcapng" \
            "$OUT/usb-dump-trace.pcapng" "$OUT/usb-status-trace.pcapng" >"$OUT/capture" 2>&1
        verdict=$([ $? -eq 0 ] && echo ok || echo "not ok")
        echo "== the usbmon capture with the dissector"
        cat "$OUT/capture"
        # Before the guest's closing line, so that it counts as one of its checks.
        sed -i "\$i$verdict the dissector reads the usbmon capture as the program's traces of a dump and a status stream" \
            "$OUT/results"
    fi
fi

passed=0
failed=0
if [ -f "$OUT/results" ]; then
    passed=$(grep -c '^ok ' "$OUT/results")
    failed=$(grep -c '^not ok ' "$OUT/results")
    if [ "$failed" -gt 0 ]; then
        echo "== failed in the guest:"
        grep '^not ok ' "$OUT/results" | sed 's/^/   /'
    fi
fi
if [ ! -f "$OUT/results" ] || ! grep -q '^done$' "$OUT/results"; then
    echo "== the guest did not finish its run (vm-boot exit code $rc)"
    failed=$((failed + 1))
elif [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then
    echo "== the guest command ended with $rc"
    failed=$((failed + 1))
fi
[ -f "$OUT/rates" ] && { echo "== read rates"; cat "$OUT/rates"; }
[ -s "$OUT/storm" ] && { echo "== plug storm"; cat "$OUT/storm"; }
[ -s "$OUT/cycles" ] && { echo "== plug cycles"; cat "$OUT/cycles"; }
awk -v a="$T0" -v b="$EPOCHREALTIME" 'BEGIN { printf "== VM tests took %.1f s in all\n", b - a }'
echo "vmtest: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
