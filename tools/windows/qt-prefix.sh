#!/bin/sh
# Unpacks the Qt cross-built for 64-bit Windows into a cache folder outside
# the repository (once per archive) and prints the Qt prefix.
#   usage: qt-prefix.sh [CACHE]   (default: $LUMIDRA_WIN_CACHE, else ${TMPDIR:-/tmp}/lumidra-win)
# The archive: $LUMIDRA_QT_MINGW_ARCHIVE, else qt-mingw/qt6-mingw64.tar.xz in
# the shared folder beside the repository.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${1:-${LUMIDRA_WIN_CACHE:-${TMPDIR:-/tmp}/lumidra-win}}
archive=${LUMIDRA_QT_MINGW_ARCHIVE:-$root/../shared/qt-mingw/qt6-mingw64.tar.xz}
if [ ! -f "$archive" ]; then
    echo "no Qt for Windows: $archive is missing (set LUMIDRA_QT_MINGW_ARCHIVE)" >&2
    exit 1
fi
mkdir -p "$cache"
prefix=$cache/qt6-mingw64
(
  flock 9
  # The archive's size and time name it: a new archive is unpacked afresh.
  stamp=$(stat -c '%s %Y' "$archive")
  if [ ! -f "$prefix/.lumidra-unpacked" ] || [ "$(cat "$prefix/.lumidra-unpacked")" != "$stamp" ]; then
      rm -rf "$prefix"
      tar xJf "$archive" -C "$cache"
      echo "$stamp" >"$prefix/.lumidra-unpacked"
  fi
) 9>"$cache/qt6-mingw64.lock"
echo "$prefix"
