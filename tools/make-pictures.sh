#!/usr/bin/env bash
# Remakes the guide's pictures (docs/images/) from the program itself: the
# window without a board, the demo mode's window with every panel, each panel, each menu, the plot window
# and a message box, in Russian and in English. They are drawn offscreen with
# DejaVu Sans and DejaVu Sans Mono only (Debian's fonts-dejavu-core, which
# tools/install-deps.sh installs), so they come out the same on every machine;
# the channels and inputs are the demo board's of the moment.
#
#   tools/make-pictures.sh            build lumidra-pictures and write the pictures
#   tools/make-pictures.sh --help
set -euo pipefail

# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/script-help.sh"
if [ $# -gt 0 ]; then
  echo "usage: $0 [--help]" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target lumidra-pictures

fonts=/usr/share/fonts/truetype/dejavu
mkdir -p docs/images
for lang in ru en; do
  QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=$fonts LANG=C.UTF-8 \
    build/tools/pictures/lumidra-pictures --lang "$lang" --out docs/images
done
ls docs/images
