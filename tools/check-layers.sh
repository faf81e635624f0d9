#!/usr/bin/env bash
# Checks that every #include "..." of the tree points down the layer order:
#
#   rank 0  hid/ (the device layer's core)   desktop/
#   rank 1  hid/linux/ hid/windows/ hid/virtual/ (the platforms)
#   rank 2  protocol/   boardmodel/ (plain C++, no Qt)
#   rank 3  keybase/
#   rank 4  controls/ transfers/ graphics/ (the features)
#   rank 5  app/session/ (the board session and the rest both programs run on)
#   rank 6  app/ (the window)   app/cli/ (lumidra-cli)
#   rank 7  tools/   tests/support/ (what tests and benchmarks share)
#   rank 8  tests/ (every other folder of it)   bench/
#
# A file may include its own folder's files and those of a lower rank; an
# include of a folder of the same rank (beside it) or a higher one is a
# violation. Includes that name no file of the tree (generated ones) are not
# checked. Of the angle-bracket includes, one rule: the plain C++ shared by
# every platform (hid/'s core, boardmodel/) includes no system's own headers
# (Windows, POSIX, Linux) and no Qt.
#
#   tools/check-layers.sh           print each violation, exit 1 if any
#   tools/check-layers.sh --help
set -euo pipefail

# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/script-help.sh"
if [ $# -gt 0 ]; then
  echo "usage: $0 [--help]" >&2
  exit 2
fi

cd "$(dirname "$0")/.."

# The layer of a path from the tree's root: "<name> <rank>", nothing when
# the path is in no layer.
layer() {
  case "$1" in
    hid/linux/* | hid/windows/* | hid/virtual/*) echo "${1%%/*}/$(cut -d/ -f2 <<<"$1") 1" ;;
    hid/*) echo "hid 0" ;;
    desktop/*) echo "desktop 0" ;;
    protocol/*) echo "protocol 2" ;;
    boardmodel/*) echo "boardmodel 2" ;;
    keybase/*) echo "keybase 3" ;;
    controls/* | transfers/* | graphics/*) echo "${1%%/*} 4" ;;
    app/session/*) echo "app/session 5" ;;
    app/cli/*) echo "app/cli 6" ;;
    app/*) echo "app 6" ;;
    tools/*) echo "tools 7" ;;
    tests/support/*) echo "tests/support 7" ;;
    tests/*) echo "tests 8" ;;
    bench/*) echo "bench 8" ;;
  esac
}

violations=0
while IFS= read -r file; do
  file=${file#./}
  read -r from fromRank <<<"$(layer "$file")" || true
  if [ -z "${from:-}" ]; then
    echo "$file: in no layer (add its folder to tools/check-layers.sh)"
    violations=$((violations + 1))
    continue
  fi
  while IFS=: read -r line name; do
    # Relative to the including file first, then to the tree's root.
    if [ -f "$(dirname "$file")/$name" ]; then
      target=$(realpath --relative-to=. "$(dirname "$file")/$name")
    elif [ -f "$name" ]; then
      target=$name
    else
      continue
    fi
    read -r to toRank <<<"$(layer "$target")" || true
    [ "${to:-}" = "$from" ] && continue
    if [ -z "${to:-}" ] || [ "$toRank" -ge "$fromRank" ]; then
      echo "$file:$line: includes $target ($from may not include ${to:-a file outside the layers})"
      violations=$((violations + 1))
    fi
  done < <(awk '/^[ \t]*#[ \t]*include[ \t]*"/ {
                 name = $0; sub(/^[^"]*"/, "", name); sub(/".*/, "", name); print FNR ":" name
               }' "$file")
done < <(find . \( -name .git -o -name 'build*' \) -prune -o \
              -type f \( -name '*.h' -o -name '*.cpp' \) -print | sort)

# The system's headers of the plain C++ core, and Qt's.
while IFS=: read -r file line text; do
  case "$file" in hid/linux/* | hid/windows/* | hid/virtual/*) continue ;; esac
  echo "$file:$line: $text (plain C++ shared by every platform)"
  violations=$((violations + 1))
done < <(find hid boardmodel -maxdepth 2 -type f \( -name '*.h' -o -name '*.cpp' \) -print0 |
           xargs -0 grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winsock2?|dbt|hidsdi|setupapi|pthread|unistd|fcntl|poll|dirent|dlfcn|sys/|linux/|Q)' ||
         true)

if [ "$violations" -gt 0 ]; then
  echo "$violations include(s) against the layer order" >&2
  exit 1
fi
echo "layer order: every include points down"
