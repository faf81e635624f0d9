#!/bin/sh
# check-install.sh BUILD VERSION -- what `cmake --install` lays down for a
# Linux desktop: the program, the console program and its bash completion,
# the udev rule, the Wireshark dissector, the desktop entry naming the
# installed program and icon, the icon, the metainfo for this version, manual pages naming every option and
# command the programs' help lists (the completion offering each too), the
# copyright file and the changelog whose newest entry is this version; the
# virtual board with its manual page (naming every option its help names),
# its systemd unit and its own copyright and changelog; the entry and the
# metainfo pass their validators where those are installed
# (desktop-file-utils, appstream).
set -u
build=$1
version=$2
# A cross-built program runs through its emulator.
runner=${LUMIDRA_RUNNER:-}
id=org.lumidra.lumidra
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >"$root.log" 2>&1 || { cat "$root.log"; rm -f "$root.log"; exit 1; }
rm -f "$root.log"
u=$root/usr
for f in bin/lumidra bin/lumidra-cli share/bash-completion/completions/lumidra-cli \
         share/man/man1/lumidra-cli.1.gz lib/udev/rules.d/70-lumidra.rules share/applications/$id.desktop \
         share/icons/hicolor/scalable/apps/$id.svg share/metainfo/$id.metainfo.xml \
         share/man/man1/lumidra.1.gz share/doc/lumidra/copyright share/doc/lumidra/changelog.gz \
         bin/lumidra-virtual-board share/man/man1/lumidra-virtual-board.1.gz \
         lib/systemd/system/lumidra-virtual-board.service share/doc/lumidra-virtual-board/copyright \
         share/doc/lumidra-virtual-board/changelog.gz; do
    [ -f "$u/$f" ] || fail "not installed: /usr/$f"
done
find "$u/lib" -path '*/wireshark/plugins/lumidra.lua' | grep -q . || fail "the Wireshark dissector is not installed"
[ -x "$u/bin/lumidra" ] || fail "/usr/bin/lumidra is not executable"
[ -x "$u/bin/lumidra-cli" ] || fail "/usr/bin/lumidra-cli is not executable"

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
# An option is documented by a line ".B --option" or ".BI --option VALUE"
# (".BR" for fixed values), a command by its own subsection ".SS command".
documents() {
    gzip -dc "$u/share/man/man1/$1.1.gz" 2>/dev/null | sed 's/\\-/-/g' |
        grep -qE -e "^\.B[IR]? $2( |\$)" -e "^\.SS \"?$2\"?\$"
}
options=$($runner "$u/bin/lumidra" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p')
[ -n "$options" ] || fail "lumidra --help lists no option"
for option in $options; do
    documents lumidra "$option" || fail "lumidra(1) does not document $option"
done
options=$("$u/bin/lumidra-virtual-board" --help | grep -oE -- '--[a-z-]+' | sort -u)
[ -n "$options" ] || fail "lumidra-virtual-board --help lists no option"
for option in $options; do
    documents lumidra-virtual-board "$option" || fail "lumidra-virtual-board(1) does not document $option"
done
cli=$u/bin/lumidra-cli
commands=$($runner "$cli" --help | sed -n 's/^  \([a-z][a-z]*\( [a-z][a-z]*\)\{0,1\}\).*/\1/p' | tr ' ' _)
[ -n "$commands" ] || fail "lumidra-cli --help lists no command"
options=$($runner "$cli" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p'; for command in $commands; do
    $runner "$cli" $(echo "$command" | tr _ ' ') --help | grep -oE -- '-(-[a-z-]+|o)\b'; done | sort -u)
for word in $commands $options; do
    word=$(echo "$word" | tr _ ' ')
    documents lumidra-cli "$word" || fail "lumidra-cli(1) does not document '$word'"
    grep -qwF -- "${word##* }" "$u/share/bash-completion/completions/lumidra-cli" ||
        fail "the completion does not offer '$word'"
done

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
else
    echo "desktop-file-validate is not installed (desktop-file-utils): not run"
fi
if command -v appstreamcli >/dev/null; then
    # Clean even of its pedantic remarks, which do not change its exit status.
    said=$(appstreamcli validate --pedantic --no-net "$u/share/metainfo/$id.metainfo.xml" 2>&1) &&
        ! printf '%s\n' "$said" | grep -q '^[EWIP]: ' || { printf '%s\n' "$said"; fail "appstreamcli remarks on the metainfo"; }
else
    echo "appstreamcli is not installed (appstream): not run"
fi
exit $failed
