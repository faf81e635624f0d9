#!/bin/sh
# Prints the prefix of the Qt cross-built for 64-bit Windows, in a cache folder
# outside the repository, making it first when the cache has none yet:
#   - from the ready-made archive when there is one (a minute): unpacked once
#     per archive;
#   - otherwise built from Debian's source by build-qt.sh (some twenty
#     minutes on two cores): once per Qt version and recipe.
#   usage: qt-prefix.sh [CACHE]   (default: $LUMIDRA_WIN_CACHE, else ${TMPDIR:-/tmp}/lumidra-win)
# The archive: $LUMIDRA_QT_MINGW_ARCHIVE, else qt-mingw/qt6-mingw64.tar.xz in
# the shared folder beside the repository.
set -eu
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${1:-${LUMIDRA_WIN_CACHE:-${TMPDIR:-/tmp}/lumidra-win}}
archive=${LUMIDRA_QT_MINGW_ARCHIVE:-$root/../shared/qt-mingw/qt6-mingw64.tar.xz}
mkdir -p "$cache"
prefix=$cache/qt6-mingw64
(
  flock 9
  # What the prefix was made from names it: another archive, Qt version or
  # recipe makes it afresh.
  stamp() {
      if [ -f "$archive" ]; then
          echo "archive $(stat -c '%s %Y' "$archive")"
      else
          echo "source $(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) $(sha256sum <"$here/build-qt.sh" | cut -c1-16)"
      fi
  }
  if [ ! -f "$prefix/.lumidra-made" ] || [ "$(cat "$prefix/.lumidra-made")" != "$(stamp)" ]; then
      rm -rf "$prefix"
      if [ -f "$archive" ]; then
          tar xJf "$archive" -C "$cache"
      else
          echo "qt-prefix: no ready-made Qt for Windows ($archive): building it from Debian's source" >&2
          "$here/build-qt.sh" "$prefix" >/dev/null
      fi
      stamp >"$prefix/.lumidra-made"
  fi
) 9>"$cache/qt6-mingw64.lock"
echo "$prefix"
