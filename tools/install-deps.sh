#!/usr/bin/env bash
# Installs the Debian packages (Debian 12 or 13) Lumidra needs to build, run and
# test, and those named as arguments.
# Idempotent: prints nothing and touches nothing when all are installed.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-multimedia-dev libgl-dev
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n  # lupdate, lrelease; Qt's own Russian texts
  fonts-dejavu-core  # the font the guide's pictures are made with
  libudev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  appstream desktop-file-utils dpkg-dev
  tshark  # reads the pcapng traces with the board's dissector (its capture question answered no)
)
packages+=("$@")

# A name may carry an architecture (qt6-base-dev:arm64, for a cross build);
# without one it means the machine's own (or all).
native=$(dpkg --print-architecture)
missing=()
for p in "${packages[@]}"; do
  arch="($native|all)"
  [ "${p#*:}" = "$p" ] || arch=${p#*:}
  dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "$p" 2>/dev/null | grep -qxE "installed $arch" ||
    missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# shellcheck source=tools/apt-wait.sh
. "$(dirname "$0")/apt-wait.sh"
echo "Installing: ${missing[*]}"
if ! { apt_get_waiting update -qq && apt_get_waiting install -y -qq --no-install-recommends "${missing[@]}"; }; then
  echo "Package installation failed." >&2
  exit 1
fi
