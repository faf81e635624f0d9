#!/bin/sh
# Puts what the test programs of a 64-bit Windows build need at run time
# beside them, in BUILD/bin: Qt Core, Gui and Widgets (and the modules named
# after them) from QT_PREFIX, every platform, style and picture-format plugin,
# and the mingw-w64 runtime DLLs the build stripped for the install rules.
# What a user gets is the install rules' business alone.
#   usage: deploy-runtime.sh QT_PREFIX BUILD [Test ...]
set -eu
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"
qt=${1:?usage: deploy-runtime.sh QT_PREFIX BUILD [Module...]}
build=${2:?usage: deploy-runtime.sh QT_PREFIX BUILD [Module...]}
shift 2
dest=$build/bin
mkdir -p "$dest/platforms" "$dest/styles" "$dest/imageformats"
for m in Core Gui Widgets "$@"; do cp "$qt/bin/Qt6$m.dll" "$dest/"; done
cp "$qt"/plugins/platforms/*.dll "$dest/platforms/"
cp "$qt"/plugins/styles/*.dll "$dest/styles/"
cp "$qt"/plugins/imageformats/*.dll "$dest/imageformats/"
cp "$build"/packaging/runtime/*.dll "$dest/"
