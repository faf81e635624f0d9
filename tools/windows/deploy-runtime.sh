#!/bin/sh
# Copies what a Qt program built against QT_PREFIX needs at run time into
# DEST: Qt Core, Gui and Widgets (and the modules named after them), every
# platform, style and picture-format plugin, and the mingw-w64 runtime DLLs,
# stripped (Debian's libstdc++-6.dll is mostly debug information). For the
# test programs; what a user gets is the install rules' business.
#   usage: deploy-runtime.sh QT_PREFIX DEST [Test ...]
set -eu
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    sed -n '2,/^set -e/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    exit 0
fi
qt=${1:?usage: deploy-runtime.sh QT_PREFIX DEST [Module...]}
dest=${2:?usage: deploy-runtime.sh QT_PREFIX DEST [Module...]}
shift 2
mkdir -p "$dest/platforms" "$dest/styles" "$dest/imageformats"
for m in Core Gui Widgets "$@"; do cp "$qt/bin/Qt6$m.dll" "$dest/"; done
cp "$qt"/plugins/platforms/*.dll "$dest/platforms/"
cp "$qt"/plugins/styles/*.dll "$dest/styles/"
cp "$qt"/plugins/imageformats/*.dll "$dest/imageformats/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    x86_64-w64-mingw32-strip --strip-unneeded -o "$dest/$dll" "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)"
done
