#!/bin/bash
# Installs Lumidra as a Windows user would, under Wine, and checks what that
# leaves: the installer runs silently (/S, with bin\ put on every user's PATH:
# /PATH=ALL); the installed files must be exactly the zip's, plus the
# uninstaller; the entry in the list of installed programs, the Start menu
# entries (both starting in the user's profile folder, which is there with
# the prefix's Documents taken away) and PATH are checked; the
# installed lumidra.exe --demo is started on a virtual display and closed
# (run-program.sh); lumidra-cli.exe --demo dump - must write the board's 4096
# bytes into a pipe, and be found on PATH by a new command prompt. Then the
# uninstaller runs silently and must take every one of those away again, and
# nothing else: a file of the user's stays.
#
#   tools/windows/check-installer.sh BUILD_DIR [SHOT_DIR]
#
# BUILD_DIR is the 64-bit Windows build after `cpack` (its packages/ holds
# Lumidra-<version>-win64.exe and .zip); the program's pictures go to SHOT_DIR
# (default: BUILD_DIR/screenshots). It runs on on-display.sh's display, in a
# throwaway Wine prefix. Exits non-zero at the first thing that is not as it
# should be.
set -euo pipefail
# shellcheck source=tools/script-help.sh
. "$(dirname "$0")/../script-help.sh"

build=${1:?usage: check-installer.sh BUILD_DIR [SHOT_DIR]}
build=$(cd "$build" && pwd)
shots=${2:-$build/screenshots}
here=$(cd "$(dirname "$0")" && pwd)

# Once more on a display, in a prefix, for the window's run.
if [ -z "${LUMIDRA_ON_XVFB:-}" ] || [ -z "${LUMIDRA_RUN_PREFIX:-}" ]; then
    exec "$here/on-display.sh" "$0" "$build" "$shots"
fi

fail() { echo "check-installer: $*" >&2; exit 1; }
installers=("$build"/packages/Lumidra-*-win64.exe)
installer=${installers[0]}
zip=${installer%.exe}.zip
[ -f "$installer" ] || fail "no installer in $build/packages (run cpack there first)"
[ -f "$zip" ] || fail "no zip beside $installer"

drive=$WINEPREFIX/drive_c
folder="$drive/Program Files/Lumidra"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Lumidra"
# A 32-bit installer writes its entries where Windows keeps those of 32-bit installers.
uninstall_key='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Lumidra'
vendor_key='HKLM\Software\Wow6432Node\Lumidra'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
query() { wine reg query "$@" </dev/null 2>/dev/null | tr -d '\r'; }
machine_path() { query "$environment_key" /v PATH | sed -n 's/^ *PATH *REG_[A-Z_]* *//p'; }

profile="$drive/users/$(whoami)"
user_file="$profile/my-keys.txt"
mkdir -p "$(dirname "$user_file")"
echo "A1B2C3D4E5F6" >"$user_file"
path_before=$(machine_path)

echo "== install: $(basename "$installer") /S /PATH=ALL"
wine "$installer" /S /PATH=ALL </dev/null >/dev/null 2>&1 || fail "the installer ended with an error"
wineserver -w

# The files: the zip's, and the uninstaller.
expected=$( (cmake -E tar tf "$zip" | sed -n 's|^[^/]*/||p' | grep -v '/$' | grep -v '^$'; echo Uninstall.exe) | sort)
installed=$(cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||' | sort) || fail "nothing in $folder"
if [ "$expected" != "$installed" ]; then
    diff <(echo "$expected") <(echo "$installed") >&2 || true
    fail "the installed files are not the zip's (< zip, > installed)"
fi
echo "   $(echo "$installed" | wc -l) files, as in the zip"
if [ ! -f "$folder/bin/lumidra-cli.exe" ] || [ -e "$folder/bin/lumidra.exe" ] || [ -e "$folder/bin/Qt6Widgets.dll" ]; then
    fail "bin\\ must hold lumidra-cli.exe and what it needs, not the window"
fi

# The list of installed programs.
entry=$(query "$uninstall_key") || fail "no entry $uninstall_key"
for value in 'DisplayName.*Lumidra' 'DisplayIcon.*Program Files\\Lumidra\\lumidra.exe' \
             'UninstallString.*Program Files\\Lumidra\\Uninstall.exe'; do
    echo "$entry" | grep -q "$value" || fail "the entry has no $value: $entry"
done
echo "   entry in the installed programs: $(echo "$entry" | sed -n 's/^ *DisplayName *REG_SZ *//p')"

# The Start menu: the program and its all-panels arrangement, both starting
# in the profile folder of whoever opens them, a folder that exists.
for link in "Lumidra.lnk" "Lumidra (all panels).lnk" "Uninstall.lnk"; do
    [ -f "$menu/$link" ] || fail "no Start menu entry $link"
done
for link in "Lumidra.lnk" "Lumidra (all panels).lnk"; do
    strings -el "$menu/$link" | grep -qxF '%USERPROFILE%' || fail "$link does not start in the user's profile folder"
done
# A user whose Documents is redirected or missing: none in this prefix.
rm -rf "$profile/Documents"
start_in=$(winepath -u "$(wine cmd /c 'echo %USERPROFILE%' </dev/null 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$start_in" ] && [ ! -e "$start_in/Documents" ] ||
    fail "the entries' start folder '$start_in' does not exist, or Documents was not taken away"
echo "   Start menu entries start in %USERPROFILE% ($start_in, which has no Documents)"
strings -el "$menu/Lumidra (all panels).lnk" | grep -qxF -- '--all-panels' || fail "the all-panels entry has no --all-panels"

# bin\ on PATH, found by a new command prompt.
machine_path | grep -qF 'C:\Program Files\Lumidra\bin' || fail "bin\\ is not on PATH: $(machine_path)"
version=$(wine cmd /c "lumidra-cli --version" </dev/null 2>/dev/null | tr -d '\r') || true
echo "$version" | grep -q '^lumidra-cli ' || fail "lumidra-cli is not found on PATH (\"$version\")"
echo "   on PATH: $version"

# The installed programs run.
bytes=$(wine "$folder/bin/lumidra-cli.exe" --demo dump - </dev/null 2>/dev/null | wc -c)
[ "$bytes" = 4096 ] || fail "lumidra-cli.exe --demo dump - wrote $bytes bytes, not 4096"
echo "   lumidra-cli.exe --demo dump -: 4096 bytes"
"$here/run-program.sh" "$folder/lumidra.exe" "$shots" --demo

echo "== uninstall: Uninstall.exe /S"
# The uninstaller runs from a copy of itself and returns at once: wait for it.
wine "$folder/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller ended with an error"
for _ in $(seq 120); do
    [ -e "$folder" ] || break
    sleep 0.5
done
wineserver -w
[ ! -e "$folder" ] || fail "left behind in $folder: $(cd "$folder" && find . | head)"
[ ! -e "$menu" ] || fail "the Start menu folder is left: $(ls "$menu")"
! query "$uninstall_key" >/dev/null || fail "the entry $uninstall_key is left"
! query "$vendor_key" >/dev/null || fail "the key $vendor_key is left"
[ "$(machine_path)" = "$path_before" ] || fail "PATH is not as before: $(machine_path)"
[ "$(cat "$user_file")" = "A1B2C3D4E5F6" ] || fail "the user's file was touched"
echo "== installed, run and uninstalled cleanly; the user's file stays"
