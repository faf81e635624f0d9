#!/usr/bin/env bash
# The code's form and static analysis, as CI checks them.
set -euo pipefail
usage() {
  cat <<'USAGE'
Usage: tools/check-style.sh [--format-only | --fix] [BUILD_FOLDER]
Checks that every C++ file git tracks is formatted as .clang-format says
(clang-format), then runs clang-tidy with .clang-tidy on the product code
(app, boardmodel, controls, desktop, graphics, hid, keybase, protocol,
transfers) using BUILD_FOLDER's compile_commands.json (default: build/,
configured and built with the preset `default` when it is not yet).
Exits 1 on a formatting difference or a tidy finding, printing them.
  --format-only  only the formatting check
  --fix          rewrite the files in the project's format instead of checking
Installs what is missing first (clang-format, clang-tidy).
USAGE
}
mode=check
case ${1:-} in
  -h|--help) usage; exit 0 ;;
  --format-only) mode=format; shift ;;
  --fix) mode=fix; shift ;;
  -*) usage >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cd "$root"
"$root/tools/install-deps.sh" clang-format clang-tidy

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "$mode" = fix ]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
echo "clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"
[ "$mode" = format ] && exit 0

if [ ! -f "$build/CMakeCache.txt" ]; then
  [ -z "${1:-}" ] || { echo "$build is not a configured build folder" >&2; exit 2; }
  cmake --preset default >/dev/null
fi
# The generated headers (forms, moc) must exist for the analysis to see them.
cmake --build "$build"
product='^'"$root"'/(app|boardmodel|controls|desktop|graphics|hid|keybase|protocol|transfers)/.*\.cpp$'
echo "clang-tidy: product code"
# The compile commands are g++'s: its own warning options mean nothing to clang.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" -extra-arg=-Wno-unknown-warning-option "$product"
