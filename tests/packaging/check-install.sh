#!/bin/sh
# check-install.sh BUILD VERSION -- what `cmake --install` lays down for a
# Linux desktop: the program, the udev rule, the desktop entry naming the
# installed program and icon, the icon, the metainfo for this version, the
# manual page naming every option the program's help lists, the copyright
# file and the changelog whose newest entry is this version; the entry and
# the metainfo pass their validators where those are installed
# (desktop-file-utils, appstream).
set -u
build=$1
version=$2
id=org.lumidra.Lumidra
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >"$root.log" 2>&1 || { cat "$root.log"; rm -f "$root.log"; exit 1; }
rm -f "$root.log"
u=$root/usr
for f in bin/lumidra lib/udev/rules.d/70-lumidra.rules share/applications/$id.desktop \
         share/icons/hicolor/scalable/apps/$id.svg share/metainfo/$id.metainfo.xml \
         share/man/man1/lumidra.1.gz share/doc/lumidra/copyright share/doc/lumidra/changelog.gz; do
    [ -f "$u/$f" ] || fail "not installed: /usr/$f"
done
[ -x "$u/bin/lumidra" ] || fail "/usr/bin/lumidra is not executable"

entry=$u/share/applications/$id.desktop
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$u/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the entry's icon '$icon' is not the installed one"
for exec in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry"); do
    [ -x "$u/bin/$exec" ] || fail "the entry starts '$exec', which is not installed"
done
grep -q '^Name\[ru\]=' "$entry" || fail "no Russian name in the entry"
grep -q '^Categories=Development;Electronics;$' "$entry" || fail "the entry's categories"
grep -q "<release version=\"$version\"" "$u/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo names no release $version"
gzip -dc "$u/share/doc/lumidra/changelog.gz" 2>/dev/null | head -n 1 | grep -q "^lumidra ($version) " ||
    fail "the changelog's newest entry is not $version"
manual=$(gzip -dc "$u/share/man/man1/lumidra.1.gz" 2>/dev/null)
options=$("$u/bin/lumidra" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p')
[ -n "$options" ] || fail "lumidra --help lists no option"
for option in $options; do
    printf '%s\n' "$manual" | grep -qxF ".B $(printf '%s' "$option" | sed 's/-/\\-/g')" ||
        fail "the manual page does not document $option"
done

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
else
    echo "desktop-file-validate is not installed (desktop-file-utils): not run"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$u/share/metainfo/$id.metainfo.xml" || fail "appstreamcli refuses the metainfo"
else
    echo "appstreamcli is not installed (appstream): not run"
fi
exit $failed
