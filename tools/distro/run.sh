#!/usr/bin/env bash
# Builds, packages and tests Lumidra for another Debian release or processor,
# in a root of that release made with mmdebstrap and kept on this machine:
#
#   tools/distro/run.sh [--release NAME] [--arch ARCH] [--build-only]
#                       [--target NAME]... [--subset] [--no-tests]
#                       [--shell | --command COMMAND]
#
#   --release NAME  the Debian release (default: trixie, Debian 13)
#   --arch ARCH     amd64 (default): built natively in the root;
#                   arm64 or armhf: cross-built there with the root's cross
#                   compiler and its multiarch libraries
#                   (cmake/debian-cross.cmake), and run under qemu-user
#   --build-only    build, copy the programs to out/distro/RELEASE-ARCH/
#                   (lumidra, lumidra-cli, lumidra-virtual-board: whichever
#                   were built) and stop
#   --target NAME   build only this target (more than once for more); with
#                   --build-only, e.g. --target lumidra-cli
#                   --target lumidra-virtual-board
#   --subset        run the CI subset of the tests only: ctest's labels
#                   hid, protocol, keybase, packaging and process
#   --no-tests      build, package and install, but run no ctest
#   --shell         open a shell in the root (source at /src) and stop
#   --command CMD   run the shell command CMD in the root, in /src, and stop
#
# The steps, each timed: the root (made once, or when the list of packages
# lost a package; a new package is installed into the root kept), the
# project's own install step in it (tools/install-deps.sh, with the cross
# compiler, qemu-user and the target's libraries for arm64/armhf), the build
# with warnings as errors (CI=true unless CI is set) and Debian's hardening flags for the
# target, the ctest suite (under qemu-user for arm64/armhf, without the tests
# that tools/distro/qemu-skips.txt names, which are printed), the .deb made
# with the release's package names and checked by its lintian
# (tools/check-package.sh: no error, no warning, hardening), then installed
# with apt, `lumidra --version`, `lumidra-cli --version` and
# `lumidra-cli --demo dump -` run from the package, and the package purged.
#
# Runs as root (it mounts and chroots). Kept on the machine, under
# LUMIDRA_DISTRO_CACHE (default /var/cache/lumidra/distro): the roots
# (RELEASE-ARCH/) and the compiler cache (ccache/RELEASE/). The build folder is
# build-RELEASE-ARCH/ in the source tree, which the root sees as /src: the same
# paths in every clone, so a fresh clone compiles from the cache. The
# packages are left in out/distro/RELEASE-ARCH/ beside the programs.
# Installs mmdebstrap (apt) when it is missing. Exits non-zero when a step
# fails.
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"
# Read whole before it runs: a long run goes on as it began when the file
# changes under it.
main() {

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
release=trixie arch=amd64 build_only=0 subset=0 tests=1 shell=0 command=
targets=()
usage_error() { echo "tools/distro/run.sh: $1 (--help tells the options)" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --release) [ $# -ge 2 ] || usage_error "--release needs a name"; release=$2; shift 2 ;;
    --arch) [ $# -ge 2 ] || usage_error "--arch needs a name"; arch=$2; shift 2 ;;
    --build-only) build_only=1; shift ;;
    --target) [ $# -ge 2 ] || usage_error "--target needs a name"; targets+=("$2"); shift 2 ;;
    --subset) subset=1; shift ;;
    --no-tests) tests=0; shift ;;
    --shell) shell=1; shift ;;
    --command) [ $# -ge 2 ] || usage_error "--command needs a command"; command=$2; shift 2 ;;
    *) usage_error "unknown argument '$1'" ;;
  esac
done
case $arch in
  amd64) triplet=x86_64-linux-gnu qemu= ;;
  arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 ;;
  armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm ;;
  *) usage_error "unknown architecture '$arch' (amd64, arm64 or armhf)" ;;
esac
[[ $release =~ ^[a-z]+$ ]] || usage_error "'$release' is no Debian release's name"
[ "$(id -u)" -eq 0 ] || { echo "tools/distro/run.sh: run it as root (it mounts and chroots)" >&2; exit 1; }
[ "$(dpkg --print-architecture)" = amd64 ] || { echo "tools/distro/run.sh: the host must be amd64" >&2; exit 1; }

# Warnings are errors here, as in CI.
export CI=${CI:-true}
cache=${LUMIDRA_DISTRO_CACHE:-/var/cache/lumidra/distro}
name=$release-$arch
root=$cache/$name
build=build-$name
out=$src/out/distro/$name
# The Debian mirrors this machine's apt uses, for the release's root too.
apt_mirror() { # apt_mirror LABEL
  apt-get indextargets --format '$(LABEL) $(REPO_URI)' 'Identifier: Packages' 2>/dev/null |
    awk -v label="$1" '$1 == label { print $2; exit }'
}

times=()
step() {
  local title=$1 start=$SECONDS
  shift
  echo "== $name: $title"
  "$@"
  times+=("$(printf '%5d s  %s' $((SECONDS - start)) "$title")")
  echo "== $name: $title: $((SECONDS - start)) s"
}
report() {
  echo "== $name: times"
  printf '%s\n' "${times[@]}"
}
trap 'status=$?; [ ${#times[@]} -eq 0 ] || report; exit $status' EXIT

# What a cross build needs beside the project's own packages: the cross
# compiler, qemu-user, GoogleTest's source (built for the target) and the
# target's libraries (Multi-Arch: same), whose host tools (moc, lrelease) are
# the host's.
cross_packages() {
  [ "$arch" = amd64 ] && return 0
  echo "g++-$triplet qemu-user googletest" \
       "qt6-base-dev:$arch qt6-multimedia-dev:$arch qt6-tools-dev:$arch libgl-dev:$arch" \
       "libudev-dev:$arch libbenchmark-dev:$arch"
}
# Every package the root is made for, one a line, sorted: the project's
# install step's list, lintian for the package check, the cross packages.
wanted_packages() {
  {
    sed -n '/^packages=(/,/^)/p' "$src/tools/install-deps.sh" | sed -e 's/#.*//' -e 's/packages=(//' -e 's/)//'
    echo lintian
    cross_packages
  } | tr -s ' \t' '\n' | sed '/^$/d' | sort -u
}

# --- the root ------------------------------------------------------------------
# Made afresh when it is missing or its list lost a package (whatever that one
# pulled in would stay); a package added to the list is installed into the
# root kept, by the install step below.
make_root() {
  local list=$root/.lumidra-packages
  if [ -f "$list" ] && [ -z "$(wanted_packages | comm -23 "$list" -)" ]; then
    echo "kept: $root"
    return 0
  fi
  command -v mmdebstrap >/dev/null || {
    # shellcheck source=tools/apt-wait.sh
    . "$src/tools/apt-wait.sh"
    apt_get_waiting update -qq && apt_get_waiting install -y -qq --no-install-recommends mmdebstrap
  }
  rm -rf "$root.new"
  mkdir -p "$cache"
  # A cross root is the release's own root with the target's packages added:
  # a copy of it, when there is one, saves making and filling a second.
  local native=$cache/$release-amd64
  if [ "$arch" != amd64 ] && [ -f "$native/.lumidra-packages" ]; then
    echo "copied from $native"
    cp -a --reflink=auto "$native" "$root.new"
    rm "$root.new/.lumidra-packages"
    rm -rf "$root"
    mv "$root.new" "$root"
    : >"$list"
    return 0
  fi
  local archs=amd64
  [ "$arch" = amd64 ] || archs=amd64,$arch
  # The package lists stay, so that apt in the root installs without an update.
  local log=$cache/$name.log
  local mirror security
  mirror=$(apt_mirror Debian)
  security=$(apt_mirror Debian-Security)
  [ -n "$mirror" ] || { echo "this machine's apt names no Debian mirror to make the root from" >&2; return 1; }
  if ! mmdebstrap --variant=apt --architectures="$archs" --include=ca-certificates \
         --skip=cleanup/apt/lists \
         "$release" "$root.new" \
         "deb $mirror $release main" "deb $mirror $release-updates main" \
         ${security:+"deb $security $release-security main"} >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "mmdebstrap failed (whole log: $log)" >&2
    return 1
  fi
  rm -rf "$root"
  mv "$root.new" "$root"
  : >"$list"
}

# in_root COMMAND...: runs COMMAND in the root, in a mount namespace of its
# own (every mount goes with it), with the source tree at /src, the compiler
# cache, the host's /run/lock (the tests' locks are the machine's) and a
# fresh /tmp.
in_root() {
  local ccache=$cache/ccache/$release
  mkdir -p "$ccache" "$root/src" "$root/var/cache/lumidra-ccache"
  touch "$root/etc/resolv.conf"
  unshare --mount --propagation private -- /bin/bash -euo pipefail -c '
    root=$1 src=$2 ccache=$3
    shift 3
    mount --rbind /dev "$root/dev"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
    mount -t tmpfs tmpfs "$root/run"
    mkdir -p "$root/run/lock"
    mount --bind /run/lock "$root/run/lock"
    mount --bind /etc/resolv.conf "$root/etc/resolv.conf"
    mount --bind "$src" "$root/src"
    mount --bind "$ccache" "$root/var/cache/lumidra-ccache"
    exec chroot "$root" /usr/bin/env -i \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
      TERM="${TERM:-dumb}" CI="${CI:-}" QT_QPA_PLATFORM=offscreen \
      CCACHE_DIR=/var/cache/lumidra-ccache "$@"
  ' in_root "$root" "$src" "$ccache" "$@"
}

install_step() {
  local extra
  read -ra extra <<<"lintian $(cross_packages)"
  [ "$arch" = amd64 ] || in_root sh -c "dpkg --print-foreign-architectures | grep -qx $arch || dpkg --add-architecture $arch"
  in_root /src/tools/install-deps.sh "${extra[@]}"
  wanted_packages >"$root/.lumidra-packages"
}

configure_and_build() {
  local configure=(-S /src -B "/src/$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  [ "$arch" = amd64 ] ||
    configure+=(-DCMAKE_TOOLCHAIN_FILE=/src/cmake/debian-cross.cmake -DLUMIDRA_DEBIAN_ARCH="$arch")
  in_root cmake "${configure[@]}" >/dev/null
  local build_targets=()
  [ ${#targets[@]} -eq 0 ] || build_targets=(--target "${targets[@]}")
  in_root cmake --build "/src/$build" --parallel 2 "${build_targets[@]}"
  mkdir -p "$out"
  local program
  for program in app/lumidra app/lumidra-cli tools/virtual-board/lumidra-virtual-board; do
    [ ! -f "$src/$build/$program" ] || cp "$src/$build/$program" "$out/"
  done
  echo "programs in $out: $(cd "$out" && ls)"
}

run_tests() {
  local select=()
  [ "$subset" -eq 0 ] || select=(-L '^(hid|protocol|keybase|packaging|process)$')
  if [ "$arch" != amd64 ]; then
    local skips
    skips=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$here/qemu-skips.txt" | awk '{print $1}')
    echo "Skipped by name under qemu-user (tools/distro/qemu-skips.txt):"
    sed -e '/^#/d' -e '/^[[:space:]]*$/d' -e 's/^/  /' "$here/qemu-skips.txt"
    [ -z "$skips" ] || select+=(-E "^($(printf '%s\n' "$skips" | paste -sd'|'))\$")
  fi
  in_root ctest --test-dir "/src/$build" --output-on-failure --parallel 2 "${select[@]}"
}

package_and_check() {
  in_root /src/tools/check-package.sh "/src/$build"
  cp "$src/$build"/packages/lumidra_*_"$arch".deb "$out/"
}

# The package as a user installs it: apt resolves its dependencies in the
# release, the programs start from where it put them (through qemu-user for
# another processor), and it goes again.
install_and_run() {
  local deb
  deb=$(cd "$src/$build/packages" && ls lumidra_*_"$arch".deb)
  in_root sh -euc '
    deb=$1 qemu=$2
    trap "apt-get purge -y -qq lumidra >/dev/null 2>&1 || true" EXIT
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/tmp/apt.log 2>&1 ||
      { cat /tmp/apt.log; exit 1; }
    dpkg-query -W -f="installed: \${Package} \${Version} \${Architecture}\nDepends: \${Depends}\nRecommends: \${Recommends}\n" lumidra
    $qemu /usr/bin/lumidra --version
    $qemu /usr/bin/lumidra-cli --version
    bytes=$($qemu /usr/bin/lumidra-cli --demo dump - | wc -c)
    echo "lumidra-cli --demo dump -: $bytes bytes"
    [ "$bytes" -eq 4096 ] || { echo "the dump is not the board'\''s 4096 bytes" >&2; exit 1; }
  ' install "/src/$build/packages/$deb" "$qemu"
}

step "root ($root)" make_root
step "install step (tools/install-deps.sh)" install_step
if [ "$shell" -eq 1 ]; then
  in_root bash -c 'cd /src && exec bash -i'
  exit 0
fi
if [ -n "$command" ]; then
  in_root bash -c "cd /src && $command"
  exit 0
fi
step "build ($build, CI=$CI)" configure_and_build
[ "$build_only" -eq 0 ] || exit 0
if [ "$tests" -eq 1 ]; then
  title="ctest, the whole suite"
  [ "$subset" -eq 0 ] || title="ctest, the CI subset"
  [ "$arch" = amd64 ] || title="$title under qemu-user"
  step "$title" run_tests
fi
step "Debian package checked by the release's lintian" package_and_check
step "package installed with apt and run" install_and_run
}
main "$@"
