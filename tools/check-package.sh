#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and has lintian,
# Debian's own package checker, check it; fails on any error or warning it
# reports (its output is printed either way).
set -euo pipefail
usage() {
  cat <<'USAGE'
Usage: tools/check-package.sh [BUILD_FOLDER]
Builds BUILD_FOLDER (default: build/, configured with the preset `default`
when it is not configured yet), makes its Debian package with `cpack -G DEB`
and runs `lintian` on it, printing what lintian reports (errors, warnings and
information). Exits 1 when lintian reports an error or a warning. Installs
what is missing first, lintian included.
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
deb=$build/packages/lumidra_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "cpack made no $deb" >&2; exit 1; }
echo "lintian $(basename "$deb")"
lintian --fail-on error,warning --display-info "$deb"
