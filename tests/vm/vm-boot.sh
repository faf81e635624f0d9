#!/usr/bin/env bash
# vm-boot.sh -- boots Debian's stock kernel under qemu (software emulation, no
# KVM needed) with uhid, hid-generic and a software USB bus (dummy_hcd with
# the configfs HID gadget, usbhid, usbmon) loaded, shares this machine's root
# file system into the guest read-only with a throw-away overlay on top, and
# runs one shell command there as root. The kernel of the machines we build
# on has neither USB nor uhid, so this is the only way to get a real
# /dev/hidrawN, real uevents and real hidraw read/write semantics in CI.
#
# usage: vm-boot.sh [--arch x86_64|arm64] [--libs DIR] [--cmd 'shell command']
#                   [--timeout SECS] [--mem MB] [--smp N] [--work DIR]
#                   [--out DIR] [--no-install]
#
#   --arch     the guest's CPU (default x86_64, the machine's own). arm64:
#              Debian 13's arm64 kernel on an emulated Cortex-A72 (qemu's
#              `virt` board); the shared root's programs are this machine's,
#              so the guest command runs under an arm64 busybox (its applets
#              first in PATH) and runs arm64 programs from the shared files.
#   --libs     arm64: the folder of the arm64 libraries those programs need (a
#              Debian root's usr/lib/aarch64-linux-gnu, with multiarch arm64
#              packages installed), shared as /usr/lib/aarch64-linux-gnu.
#   --cmd      run by /bin/sh in the guest, as root, in the caller's current
#              folder. Default: a shell that only prints the kernel version.
#   --timeout  host-side limit for the whole boot (default 300 s); the guest
#              command gets a guest-side limit 20 s shorter.
#   --work     cache and scratch folder (default ${TMPDIR:-/tmp}/lumidra-vm,
#              and lumidra-vm-arm64 for arm64: a kernel cache per
#              architecture); delete $WORK/kernel to pick up a newer kernel.
#   --out      host folder shared read-write as /vmtest-out in the guest
#              (default $WORK/out, emptied first).
#
# Everything else in the guest sees the host's files as they are, so the
# programs under test run unchanged from their build folder. Guest writes go
# to a tmpfs and vanish at power-off, except those to /vmtest-out.
#
# The guest's console is this script's stdout (and $WORK/serial.log). The
# guest command's exit code is this script's exit code; 124 means no result
# came back (boot failure or host-side timeout).
#
# Only one guest runs at a time per work folder: a second call waits.
set -euo pipefail
APT_WAIT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)/apt-wait.sh

ARCH=x86_64
LIBS=
CMD='uname -r'
TIMEOUT=300
MEM=512
SMP=1
WORK=
OUT=
INSTALL=1
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) ARCH=$2; shift 2 ;;
    --libs) LIBS=$2; shift 2 ;;
    --cmd) CMD=$2; shift 2 ;;
    --timeout) TIMEOUT=$2; shift 2 ;;
    --mem) MEM=$2; shift 2 ;;
    --smp) SMP=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --out) OUT=$2; shift 2 ;;
    --no-install) INSTALL=0; shift ;;
    *) echo "vm-boot: unknown option $1" >&2; exit 2 ;;
    esac
done
case "$ARCH" in
x86_64) WORK=${WORK:-${TMPDIR:-/tmp}/lumidra-vm} ;;
arm64)
    WORK=${WORK:-${TMPDIR:-/tmp}/lumidra-vm-arm64}
    [ -n "$LIBS" ] && [ -e "$LIBS/ld-linux-aarch64.so.1" ] ||
        { echo "vm-boot: --arch arm64 needs --libs DIR, a folder of arm64 libraries (ld-linux-aarch64.so.1 and the rest)" >&2; exit 2; }
    LIBS=$(cd "$LIBS" && pwd) ;;
*) echo "vm-boot: --arch takes x86_64 or arm64" >&2; exit 2 ;;
esac
OUT=${OUT:-$WORK/out}

T_START=$EPOCHREALTIME
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }
log() { printf '[vm-boot %ss] %s\n' "$(elapsed "$T_START" "$EPOCHREALTIME")" "$*" >&2; }

mkdir -p "$WORK"
exec 9>"$WORK/lock"
if ! flock -n 9; then
    log "another guest is running with $WORK; waiting for it"
    flock 9
fi

# ---- packages ------------------------------------------------------------------
# qemu and a static busybox for the initramfs, xz to unpack the kernel, and
# udev so that the guest can run systemd-udevd from the shared root.
apt_install() {
    local missing=() p status
    for p in "$@"; do
        status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
        [ "$status" = installed ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    # shellcheck source=tools/apt-wait.sh
    . "$APT_WAIT"
    if ! { apt_get_waiting update -qq &&
           apt_get_waiting install -y -qq --no-install-recommends "${missing[@]}"; }; then
        echo "vm-boot: installing ${missing[*]} failed" >&2
        exit 3
    fi
}
if [ "$INSTALL" = 1 ]; then
    case "$ARCH" in
    x86_64) apt_install qemu-system-x86 busybox-static udev xz-utils ;;
    arm64) apt_install qemu-system-arm busybox-static xz-utils ;;
    esac
fi

# ---- Debian's kernel, unpacked privately (never installed on the host) -----------
# The machine's own release's kernel for x86_64. The arm64 kernel and busybox
# are Debian 13's, the release the arm64 programs are built for (Raspberry Pi
# OS's), fetched through an apt state of this script's own under $WORK/apt
# from the Debian mirror the machine's apt uses: the machine's dpkg gets no
# second architecture and its package lists stay as they are.
ARM64_SUITE=trixie
arm64_apt() { # arm64_apt APT-GET-ARGUMENTS...
    local a=$WORK/apt mirror
    if [ ! -s "$a/sources.list" ]; then
        mirror=$(apt-get indextargets --format '$(LABEL) $(REPO_URI)' 'Identifier: Packages' 2>/dev/null |
                 awk '$1 == "Debian" { print $2; exit }')
        [ -n "$mirror" ] || { echo "vm-boot: the machine's apt has no Debian mirror to fetch arm64 packages from" >&2; return 1; }
        mkdir -p "$a/lists/partial" "$a/cache/archives/partial" "$a/preferences.d"
        echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $ARM64_SUITE main" >"$a/sources.list"
    fi
    apt-get -qq -o Dir::Etc::SourceList="$a/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
        -o Dir::State::Lists="$a/lists" -o Dir::Cache="$a/cache" -o Dir::State::status=/dev/null \
        -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$a/preferences.d" \
        -o APT::Architecture=arm64 -o APT::Architectures::=arm64 -o Acquire::Languages=none \
        -o APT::Sandbox::User=root "$@"
}
case "$ARCH" in
x86_64) KMETA=linux-image-amd64 APT=apt-get APT_CACHE=apt-cache ;;
arm64) KMETA=linux-image-arm64 APT=arm64_apt APT_CACHE="arm64_apt_cache" ;;
esac
arm64_apt_cache() { # the same apt state's look-ups
    local a=$WORK/apt
    apt-cache -o Dir::Etc::SourceList="$a/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
        -o Dir::State::Lists="$a/lists" -o Dir::Cache="$a/cache" -o Dir::State::status=/dev/null \
        -o APT::Architecture=arm64 -o APT::Architectures::=arm64 "$@"
}
KDIR=$WORK/kernel
mkdir -p "$KDIR"
if ! ls "$KDIR"/linux-image-*.deb >/dev/null 2>&1; then
    kpkg() { $APT_CACHE depends "$KMETA" 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }'; }
    KPKG=$(kpkg || true)
    if [ -z "$KPKG" ]; then
        if [ "$ARCH" = x86_64 ]; then
            # shellcheck source=tools/apt-wait.sh
            . "$APT_WAIT"
            apt_get_waiting update -qq || true
        else
            arm64_apt update || true
        fi
        KPKG=$(kpkg || true)
    fi
    [ -n "$KPKG" ] || { echo "vm-boot: no $KMETA in the package lists" >&2; exit 3; }
    log "downloading $KPKG"
    (cd "$KDIR" && $APT download -qq "$KPKG" >/dev/null 2>&1) || true
    ls "$KDIR"/linux-image-*.deb >/dev/null 2>&1 || { echo "vm-boot: could not download $KPKG" >&2; exit 3; }
fi
# The guest's busybox: the machine's own for x86_64, Debian's static arm64
# build beside the arm64 kernel.
if [ "$ARCH" = x86_64 ]; then
    BUSYBOX=$(command -v busybox)
else
    BUSYBOX=$KDIR/busybox
    if [ ! -x "$BUSYBOX" ]; then
        if ! ls "$KDIR"/busybox-static_*.deb >/dev/null 2>&1; then
            log "downloading busybox-static (arm64)"
            (cd "$KDIR" && arm64_apt download busybox-static >/dev/null 2>&1) || true
        fi
        deb=$(ls "$KDIR"/busybox-static_*.deb 2>/dev/null | head -n1)
        [ -n "$deb" ] || { echo "vm-boot: could not download busybox-static for arm64" >&2; exit 3; }
        dpkg-deb --fsys-tarfile "$deb" | tar -x -O --wildcards '*bin/busybox' >"$BUSYBOX.tmp"
        chmod +x "$BUSYBOX.tmp" && mv "$BUSYBOX.tmp" "$BUSYBOX"
    fi
fi
KDEB=$(ls "$KDIR"/linux-image-*.deb | head -n1)
KROOT=$KDIR/root
if [ ! -f "$KROOT/.done" ] || [ "$(cat "$KROOT/.done")" != "$(basename "$KDEB")" ]; then
    log "unpacking $(basename "$KDEB")"
    rm -rf "$KROOT"; mkdir -p "$KROOT"
    # Debian 13 ships the modules under usr/ (merged /usr), Debian 12 under lib/.
    mods=$(dpkg-deb -c "$KDEB" | awk '$6 ~ /^\.\/(usr\/)?lib\/modules\/$/ && !found { print $6; found = 1 }')
    dpkg-deb --fsys-tarfile "$KDEB" | tar -x -C "$KROOT" --wildcards './boot/vmlinuz-*' "${mods%/}"
    [ "$mods" = ./lib/modules/ ] || { mkdir -p "$KROOT/lib" && mv "$KROOT/${mods%/}" "$KROOT/lib/modules"; }
    busybox depmod -b "$KROOT" "$(ls "$KROOT/lib/modules")"
    basename "$KDEB" >"$KROOT/.done"
fi
KV=$(ls "$KROOT/lib/modules")
VMLINUZ=$KROOT/boot/vmlinuz-$KV
# Under emulation the compressed kernel spends ~3 s unpacking itself. Debian
# builds with CONFIG_PVH, so qemu boots the plain ELF vmlinux directly; find
# the compressed payload inside the bzImage and unpack it once. (Debian's
# arm64 vmlinuz is a plain Image already.)
KERNEL=$VMLINUZ
VMLINUX=$KROOT/boot/vmlinux-$KV
if [ "$ARCH" = x86_64 ] && [ ! -s "$VMLINUX" ]; then
    for magic in $'\xfd7zXZ:xz -dc --single-stream' $'\x28\xb5\x2f\xfd:zstd -dcq' $'\x1f\x8b\x08:gzip -dcq'; do
        off=$(LC_ALL=C grep -abo -m1 "${magic%%:*}" "$VMLINUZ" | head -n1 | cut -d: -f1 || true)
        [ -n "$off" ] || continue
        tail -c +$((off + 1)) "$VMLINUZ" | ${magic#*:} >"$VMLINUX.tmp" 2>/dev/null || true
        if [ "$(head -c 4 "$VMLINUX.tmp" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then mv "$VMLINUX.tmp" "$VMLINUX"; break; fi
    done
    rm -f "$VMLINUX.tmp"
fi
[ -s "$VMLINUX" ] && KERNEL=$VMLINUX

# ---- initramfs: busybox, the modules, and an /init that mounts the host root -------
# Besides uhid: a USB bus made in software (dummy_hcd, a host and a device
# controller wired together, kept at full speed as the board is), the gadget
# side's HID function through configfs, the host side's usbhid, and usbmon to
# capture that bus.
# A module the kernel has built in (virtio_pci on arm64) is left out.
MODS="uhid hid-generic virtio_pci 9pnet_virtio 9p overlay usbhid dummy_hcd libcomposite usb_f_hid usbmon"
MOD_OPTIONS="dummy_hcd is_high_speed=0"
IR=$WORK/initramfs
INITRD=$WORK/initramfs.cpio.gz
STAMP="$KV $MODS $MOD_OPTIONS $(sha1sum "$0" "$BUSYBOX" | cut -c1-12 | tr '\n' ' ')"
if [ ! -s "$INITRD" ] || [ "$(cat "$WORK/initramfs.stamp" 2>/dev/null)" != "$STAMP" ]; then
    rm -rf "$IR"
    mkdir -p "$IR"/{bin,dev,proc,sys,lower,upper,newroot,etc} "$IR/lib/modules/$KV"
    cp "$BUSYBOX" "$IR/bin/busybox"
    need=
    mods=
    add_mod() { # add_mod relpath: the module and what it depends on, per modules.dep
        case " $need " in *" $1 "*) return ;; esac
        need="$need $1"
        local d
        for d in $(awk -v m="$1:" '$1 == m { for (i = 2; i <= NF; i++) print $i }' "$KROOT/lib/modules/$KV/modules.dep"); do
            add_mod "$d"
        done
    }
    find_mod() { # find_mod NAME LIST: NAME's path in modules.dep or modules.builtin
        awk -v m="/$1.ko" '{ f = $1; sub(/:$/, "", f); sub(/\.(xz|zst|gz)$/, "", f)
                             if (substr(f, length(f) - length(m) + 1) == m) { sub(/:$/, "", $1); print $1; exit } }' \
            "$KROOT/lib/modules/$KV/$2"
    }
    for m in $MODS; do
        rel=$(find_mod "$m" modules.dep)
        if [ -z "$rel" ]; then
            [ -n "$(find_mod "$m" modules.builtin)" ] || { echo "vm-boot: module $m not found in $KV" >&2; exit 1; }
            continue
        fi
        add_mod "$rel"
        mods="$mods $m"
    done
    # Unpacked here: the guest's busybox then needs no decompressor for them.
    for rel in $need; do
        mkdir -p "$IR/lib/modules/$KV/$(dirname "$rel")"
        case "$rel" in
        *.xz) xz -dc "$KROOT/lib/modules/$KV/$rel" >"$IR/lib/modules/$KV/${rel%.xz}" ;;
        *) cp "$KROOT/lib/modules/$KV/$rel" "$IR/lib/modules/$KV/$rel" ;;
        esac
    done
    busybox depmod -b "$IR" "$KV"
    # One module a line, with its options.
    for m in $mods; do
        echo "$m $(echo "$MOD_OPTIONS" | awk -v m="$m" '$1 == m { $1 = ""; print }')"
    done >"$IR/etc/modules"
    cat >"$IR/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
echo "VMTEST-BOOTED uptime=$(cut -d' ' -f1 /proc/uptime)"
T=$(sed -n 's/.*vmtest.timeout=\([0-9]*\).*/\1/p' /proc/cmdline)
while read -r m options; do modprobe "$m" $options || echo "VMTEST: modprobe $m failed"; done </etc/modules
# The shared root's own programs, unless it is another architecture's
# (/etc/foreign-root: the multiarch triplet and the loader's name): then this
# busybox's applets come first, and the guest's libraries, shared on their
# own, go where the loader looks for them.
export GUEST_SH=/bin/sh GUEST_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
guest_userland() {
    [ -f /etc/foreign-root ] || return 0
    read -r multiarch loader </etc/foreign-root
    mkdir -p /newroot/vmtest-bin "/newroot/usr/lib/$multiarch" &&
        cp /bin/busybox /newroot/vmtest-bin/busybox &&
        chroot /newroot /vmtest-bin/busybox --install -s /vmtest-bin &&
        mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 guestlibs "/newroot/usr/lib/$multiarch" &&
        ln -sf "$multiarch/$loader" "/newroot/usr/lib/$loader" || return 1
    GUEST_SH=/vmtest-bin/sh GUEST_PATH=/vmtest-bin:$GUEST_PATH
}
rc=125
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /lower &&
   mount -t tmpfs -o mode=0755 tmpfs /upper && mkdir /upper/u /upper/w &&
   mount -t overlay -o lowerdir=/lower,upperdir=/upper/u,workdir=/upper/w overlay /newroot &&
   mount -t proc proc /newroot/proc && mount -t sysfs sysfs /newroot/sys &&
   mount -t configfs configfs /newroot/sys/kernel/config && mount -t debugfs debugfs /newroot/sys/kernel/debug &&
   mount -t devtmpfs devtmpfs /newroot/dev && mount -t tmpfs tmpfs /newroot/run &&
   mkdir -p /newroot/dev/pts /newroot/dev/shm && mount -t devpts devpts /newroot/dev/pts &&
   mount -t tmpfs tmpfs /newroot/dev/shm &&
   mkdir -p /newroot/vmtest-out &&
   mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 vmtestout /newroot/vmtest-out &&
   guest_userland; then
    timeout "$T" chroot /newroot "$GUEST_SH" -c 'cd "$(cat /vmtest-out/.cwd)" 2>/dev/null || cd /
        export HOME=/root PATH="$GUEST_PATH" TERM=dumb
        export SYSTEMD_IGNORE_CHROOT=1 TMPDIR=/tmp
        exec "$GUEST_SH" /vmtest-out/.cmd.sh' </dev/null
    rc=$?
    [ "$rc" -eq 143 ] && echo "VMTEST: the guest command hit the guest-side limit of $T s"
else
    echo "VMTEST: mounting the host root failed"
fi
echo "VMTEST-EXIT=$rc uptime=$(cut -d' ' -f1 /proc/uptime)"
sync
poweroff -f
EOF
    chmod +x "$IR/init"
    [ "$ARCH" = arm64 ] && echo "aarch64-linux-gnu ld-linux-aarch64.so.1" >"$IR/etc/foreign-root"
    (cd "$IR" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$INITRD")
    echo "$STAMP" >"$WORK/initramfs.stamp"
fi

# ---- boot -----------------------------------------------------------------------------
mkdir -p "$OUT"
find "$OUT" -mindepth 1 -delete
printf '%s\n' "$CMD" >"$OUT/.cmd.sh"
pwd >"$OUT/.cwd"
GUEST_TIMEOUT=$((TIMEOUT > 60 ? TIMEOUT - 20 : TIMEOUT / 2))
# With more than one emulated CPU the kernel finds the TSCs "unsynchronized"
# (its check runs against the host's clock under emulation, where they are
# one clock) and falls back to the HPET: every clock read becomes an emulated
# device access, which slows anything that looks at the time (poll timeouts,
# event loops) tenfold. The emulated TSC is sound; say so.
APPEND="panic=-1 quiet loglevel=3 vmtest.timeout=$GUEST_TIMEOUT"
case "$ARCH" in
x86_64) QEMU=(qemu-system-x86_64 -M pc -cpu max); APPEND="console=ttyS0 tsc=reliable $APPEND" ;;
arm64) QEMU=(qemu-system-aarch64 -M virt -cpu cortex-a72); APPEND="console=ttyAMA0 $APPEND" ;;
esac
QEMU+=(-accel tcg -smp "$SMP" -m "$MEM"
      -nodefaults -no-user-config -display none -serial stdio -no-reboot
      -kernel "$KERNEL" -initrd "$INITRD" -append "$APPEND"
      -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
      -virtfs "local,path=$OUT,mount_tag=vmtestout,security_model=none")
[ "$ARCH" = arm64 ] && QEMU+=(-virtfs "local,path=$LIBS,mount_tag=guestlibs,security_model=none,readonly=on,multidevs=remap")
SERIAL=$WORK/serial.log
log "booting $KV on $ARCH (mem ${MEM} MiB, $SMP cpu)"
T_QEMU=$EPOCHREALTIME
set +e
timeout "$TIMEOUT" "${QEMU[@]}" </dev/null 2>"$WORK/qemu.stderr" | while IFS= read -r line; do
    line=${line%$'\r'}
    printf '%s\n' "$line"
    case "$line" in
    VMTEST-BOOTED*) log "guest /init started $(elapsed "$T_QEMU" "$EPOCHREALTIME") s after qemu start" ;;
    esac
done | tee "$SERIAL"
QRC=${PIPESTATUS[0]}
set -e
[ -s "$WORK/qemu.stderr" ] && sed 's/^/qemu: /' "$WORK/qemu.stderr" >&2
RC=$(sed -n 's/^VMTEST-EXIT=\([0-9]*\).*/\1/p' "$SERIAL" | tail -n1)
log "qemu ended ($QRC) after $(elapsed "$T_QEMU" "$EPOCHREALTIME") s"
if [ -z "$RC" ]; then
    echo "vm-boot: no result from the guest (qemu exit code $QRC)" >&2
    exit 124
fi
exit "$RC"
