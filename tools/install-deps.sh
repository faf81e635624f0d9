#!/usr/bin/env bash
# Installs the Debian 12 packages Lumidra needs to build, run and test.
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

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# shellcheck source=tools/apt-wait.sh
. "$(dirname "$0")/apt-wait.sh"
echo "Installing: ${missing[*]}"
if ! { apt_get_waiting update -qq && apt_get_waiting install -y -qq --no-install-recommends "${missing[@]}"; }; then
  echo "Package installation failed." >&2
  exit 1
fi
