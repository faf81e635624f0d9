#!/usr/bin/env bash
# Installs what is needed, builds Lumidra (the window and lumidra-cli) and
# starts the window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target lumidra lumidra-cli
exec "$root/build/app/lumidra" "$@"
