#!/bin/sh
# Creates a headless Wine prefix unless it exists already.
#   usage: wine-prefix.sh [PREFIX]   (default: $WINEPREFIX, else ${TMPDIR:-/tmp}/lumidra-wine)
# The "null" graphics driver lets the hidden top-level notification window be
# created without any display. Parallel callers wait for the first one.
set -eu
WINEPREFIX=${1:-${WINEPREFIX:-${TMPDIR:-/tmp}/lumidra-wine}}
WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX WINEDEBUG
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.lumidra-ready" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # Wait until the first boot's services have finished: Wine's virtual HID
    # mouse and keyboard appear only then, and a listing before that sees none.
    wineserver -w
    touch "$WINEPREFIX/.lumidra-ready"
  fi
) 9>"$WINEPREFIX.lock"
