#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and has lintian,
# Debian's own package checker, check it; fails on any error or warning it
# reports (its output is printed either way).
set -euo pipefail
usage() {
  cat <<'USAGE'
Usage: tools/check-package.sh [BUILD_FOLDER]
Builds BUILD_FOLDER (default: build/, configured with the preset `default`
when it is not configured yet), makes its Debian packages with `cpack -G DEB`
(lumidra and lumidra-virtual-board) and runs `lintian` on each, printing what
lintian reports (errors, warnings and information). Exits 1 when lintian reports an error or a warning, or the
binaries lack Debian's hardening: RELRO and BIND_NOW (lintian's
hardening-no-relro and hardening-no-bindnow), or a source compiled without
_FORTIFY_SOURCE. Installs what is missing first, lintian included.
USAGE
}
case ${1:-} in
  -h|--help) usage; exit 0 ;;
  -*) usage >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

"$root/tools/install-deps.sh" lintian
if [ ! -f "$build/CMakeCache.txt" ]; then
  [ -z "${1:-}" ] || { echo "$build is not a configured build folder" >&2; exit 2; }
  (cd "$root" && cmake --preset default >/dev/null)
fi
cmake --build "$build"
# cpack's own chatter only when it fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(cd "$build" && cpack -G DEB) >"$log" 2>&1 || { cat "$log" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
# A cross build's packages are for the architecture it was built for.
arch=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
status=0
: >"$log"
for package in lumidra lumidra-virtual-board; do
  deb=$build/packages/${package}_${version}_${arch:-$(dpkg --print-architecture)}.deb
  [ -f "$deb" ] || { echo "cpack made no $deb" >&2; exit 1; }
  echo "lintian $(basename "$deb")"
  lintian --fail-on error,warning --display-info "$deb" 2>&1 | tee -a "$log" || status=1
done
# Debian's hardening: lintian only informs on these two.
if grep -qE '^[EWI]: [^ ]+: hardening-no-(bindnow|relro)' "$log"; then
  echo "the binaries are not linked with RELRO and BIND_NOW (configure with LUMIDRA_DEBIAN_HARDENING=ON)" >&2
  status=1
fi
# Fortify shows in how the sources were compiled: lintian's tag for it also
# fires on binaries with nothing to fortify.
compiled=$(grep -c '"command":' "$build/compile_commands.json" || true)
fortified=$(grep '"command":' "$build/compile_commands.json" | grep -c -- '-D_FORTIFY_SOURCE=' || true)
if [ "$compiled" -eq 0 ] || [ "$fortified" -ne "$compiled" ]; then
  echo "$((compiled - fortified)) of $compiled sources in $build are compiled without _FORTIFY_SOURCE" \
       "(configure with LUMIDRA_DEBIAN_HARDENING=ON)" >&2
  status=1
fi
exit $status
